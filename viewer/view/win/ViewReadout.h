#pragma once
// What the tests and the view host's statistics read of a view, kept out of its interface.
#include "DVRScreenView.h"
#include <vector>

namespace view {

class ViewReadout {
public:
    explicit ViewReadout(const DVRScreenView& v) : v_(v) {}
    // The status log's lines, oldest first.
    std::vector<std::wstring> StatusLines() const;
    const connection::ConnectionController& Controller() const { return v_.components_.Controller(); }
    const connection::CountingFrameSink& FrameCounts() const { return v_.components_.FrameCounts(); }
    CLiveVideo* Live() const { return v_.components_.Live(); }
    const connection::LiveLayout* Layout() const { return v_.components_.Layout(); }
    CViewAudio* Audio() const { return v_.components_.Audio(); }
    ViewPanel& Panel() const { return const_cast<ViewPanel&>(v_.panel_); }
    ViewPtz& Ptz() const { return const_cast<ViewPtz&>(v_.ptz_); }
    const CViewSettings& Settings() const { return v_.settings_; }
    // "Enable Audio" as the decode threads and the receive path see it.
    bool AudioEnabled() const { return v_.components_.EnableAudio(); }

private:
    const DVRScreenView& v_;
};

inline ViewReadout Readout(const DVRScreenView& v) { return ViewReadout(v); }

} // namespace view

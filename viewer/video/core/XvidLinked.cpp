// Native builds link libxvidcore directly.
#include "XvidApi.h"

namespace video {

const XvidApi& LinkedXvidApi()
{
    static const XvidApi api{&xvid_global, &xvid_decore, &xvid_encore, XvidStatus::Ready};
    return api;
}

} // namespace video

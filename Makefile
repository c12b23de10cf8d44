# The two commands: everything else is in scripts/.
.PHONY: demo test build package tsan fuzz-long soak clean
demo:
	bash scripts/demo.sh
test:
	bash scripts/test.sh
build:
	bash scripts/build.sh
# The setup program for Windows: out/Orvex-Setup-VERSION.exe.
package:
	bash scripts/package.sh
# The native tests under ThreadSanitizer (run before resolving work that touches threads).
tsan:
	bash scripts/test.sh tsan
# Every fuzz target for FUZZ_SECONDS each (default 300).
fuzz-long:
	PX_FUZZ_SECONDS=$${FUZZ_SECONDS:-300} bash scripts/test.sh fuzz
# Live video under Wine for SOAK_SECONDS (default 1800): memory, drops and load every 10 s (out/soak/).
soak:
	bash -c 'source scripts/trees.sh && build_tree native dvrsim && build_tree win viewhost' \
	  && bash bench/soak.sh --seconds $${SOAK_SECONDS:-1800}
clean:
	rm -rf build out

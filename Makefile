# The two commands: everything else is in scripts/.
.PHONY: demo test build tsan fuzz-long soak clean
demo:
	bash scripts/demo.sh
test:
	bash scripts/test.sh
build:
	bash scripts/build.sh
# The native tests under ThreadSanitizer (run before resolving work that touches threads).
tsan:
	bash scripts/test.sh tsan
# Every fuzz target for FUZZ_SECONDS each (default 300).
fuzz-long:
	PX_FUZZ_SECONDS=$${FUZZ_SECONDS:-300} bash scripts/test.sh fuzz
# Live video under Wine for SOAK_SECONDS (default 600): memory and drops every 10 s (out/soak/).
soak:
	bash -c 'source scripts/trees.sh && build_tree native dvrsim && build_tree win viewhost' \
	  && bash scripts/soak.sh $${SOAK_SECONDS:-600}
clean:
	rm -rf build out

# The two commands a newcomer needs; everything else is in scripts/ and CMakePresets.json.
.PHONY: test run dist bench format clean

test:
	scripts/run-tests

run:
	scripts/run

# build/dist: the setup program and the portable zip; signed with SIGN_CERT and SIGN_KEY.
dist:
	SIGN_CERT="$(SIGN_CERT)" SIGN_KEY="$(SIGN_KEY)" scripts/dist

bench:
	bench/sntp-bench
	bench/program-bench
	bench/service-bench

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build

# The two commands a newcomer needs; everything else is in scripts/ and CMakePresets.json.
.PHONY: test run bench format clean

test:
	scripts/run-tests

run:
	scripts/run

bench:
	bench/sntp-bench
	bench/program-bench

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build

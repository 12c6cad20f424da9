# The two commands for a fresh machine. See README.md.
.PHONY: demo test
demo:
	bash scripts/demo
test:
	bash scripts/test

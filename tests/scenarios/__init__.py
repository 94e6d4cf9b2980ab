"""Programs the tests run in fresh interpreters, as `python -m scenarios.NAME ARGUMENT...`
with tests/ on the path (see run_scenario in tests/conftest.py). The random source decides
once per process how it gets randomness, so what depends on that decision needs a process of
its own. Each prints what it saw, as JSON unless its docstring says otherwise, and leaves
the judging to the test."""

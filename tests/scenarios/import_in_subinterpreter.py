"""Run by second_interpreter.py as a sub-interpreter's whole program: prints the ImportError
that refuses the module there, or "imported"."""

try:
    import pure_plinx  # noqa: F401
except ImportError as error:
    print(type(error).__name__ + ": " + str(error))
else:
    print("imported")

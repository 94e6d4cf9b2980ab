"""Fills the interpreter's table of exit callbacks (Py_AtExit) with a harmless C function,
then imports the module. Prints the ImportError that refuses it, or "imported"."""

import ctypes


def fill_exit_callbacks():
    # getpid, run at exit, changes nothing; a Python callback could not run that late.
    harmless = ctypes.cast(ctypes.CDLL(None).getpid, ctypes.c_void_p)
    register = ctypes.pythonapi.Py_AtExit
    register.argtypes = [ctypes.c_void_p]
    while register(harmless) == 0:
        pass


def main():
    fill_exit_callbacks()
    try:
        import pure_plinx  # noqa: F401
    except ImportError as error:
        print(type(error).__name__ + ": " + str(error))
    else:
        print("imported")


if __name__ == "__main__":
    main()

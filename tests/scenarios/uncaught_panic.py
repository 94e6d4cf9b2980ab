"""A failing draw that `except Exception` does not stop: the program ends with a traceback.
Prints "handled" if the handler caught it after all."""

from pure_plinx import Plinx


def main():
    try:
        Plinx().pull(7)
    except Exception:
        print("handled")


if __name__ == "__main__":
    main()

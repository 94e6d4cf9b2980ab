# Correct use of the module, which the type checkers must accept without a word.
from pure_plinx import Plinx, __version__


class Seven:
    def __index__(self) -> int:
        return 7


drawn: float = Plinx().pull(4290)
by_keyword: float = Plinx().pull(destiny=5)
flags: float = Plinx().pull(True) + Plinx().pull(Seven())
version: str = __version__

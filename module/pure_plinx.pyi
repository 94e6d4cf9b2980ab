# Type information for the extension module pure_plinx. It is installed as the stub package
# pure_plinx-stubs, the form type checkers look for beside a single-module extension.
from typing import SupportsIndex, final

__all__ = ["Plinx", "__version__"]

__version__: str

@final
class Plinx:
    """Python 側の `Plinx` クラス。"""

    def __new__(cls) -> Plinx: ...
    def pull(self, destiny: SupportsIndex) -> float:
        """`destiny` を元に 0.0〜1.0 の浮動小数値を 1 つ引く。"""

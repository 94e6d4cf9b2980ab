# Wrong on purpose, one error a line from line 4 on: the tests expect them there.
from pure_plinx import Plinx

Plinx().pull("4290")
Plinx().pull(1.5)
count: int = Plinx().pull(1)
Plinx(1)

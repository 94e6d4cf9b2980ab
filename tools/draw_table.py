"""draw_table.py [COUNT]: prints COUNT draws (10,000 by default) for a fixed list of destinies
and nonces, one per line as `destiny nonce draw` (the draw in hexadecimal, every bit), using
plinx_model, which the suite holds equal to the module bit for bit on the machine it runs on.
Two machines' tables, compared line by line, count the draws their C maths libraries change:

    python3 tools/draw_table.py > here.txt    # and the same elsewhere, then
    diff here.txt there.txt | grep -c '^<'
"""

import random
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
from plinx_model import draw


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 10_000
    chooser = random.Random(4290)
    for _ in range(count):
        destiny = chooser.randrange(-(2**63), 2**63)
        nonce = chooser.randbytes(8)
        print(destiny, nonce.hex(), draw(destiny, nonce).hex())


if __name__ == "__main__":
    main()

/* reinitialise CYCLES PROGRAM: embeds CPython the way plugin hosts and test harnesses do that
 * restart their interpreter, running PROGRAM in a new interpreter CYCLES times in one process:
 * Py_Initialize, the program, Py_FinalizeEx. Prints "cycle N" before each run, so a reader
 * can tell the cycles' output apart, and exits with 1 on the first cycle that fails. */
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: reinitialise CYCLES PROGRAM\n");
    return 2;
  }
  const int cycles = atoi(argv[1]);
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    printf("cycle %d\n", cycle);
    fflush(stdout);
    Py_Initialize();
    const int failed = PyRun_SimpleString(argv[2]) != 0;
    if (Py_FinalizeEx() != 0 || failed) {
      fprintf(stderr, "reinitialise: cycle %d failed\n", cycle);
      return 1;
    }
  }
  return 0;
}

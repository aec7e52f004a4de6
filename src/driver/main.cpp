#include "host.h"

int main() { return 0; }

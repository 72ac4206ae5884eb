// Prints the scan request's code as this build defines it, in hex, so that
// the end-to-end tests expect the code of the machine they run on.
#include <stdio.h>

#include "device/blindscan_device.h"

int main() { return printf("%#lx\n", blindscan::device::AVL2108_SET_PARAMETER) > 0 ? 0 : 1; }

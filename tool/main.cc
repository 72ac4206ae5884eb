#include "tool/run.h"

int main(int argc, char** argv) { return blindscan::tool::run(argc, argv); }

#include "app/run.h"

int main(int argc, char** argv) { return lorvex::run(argc, argv); }

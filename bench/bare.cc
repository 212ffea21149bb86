// The loader's floor for qzftconfig's start-up: linked against the tool's
// shared libraries (by the benchmark script), it only returns.
int main() { return 0; }

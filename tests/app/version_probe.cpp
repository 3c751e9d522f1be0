// An executable that only carries a version record (flags 2 | 32, masked by
// 63), for the version record and about box tests to read.
int main() { return 0; }

// Linked with one static library whole (tests/link/CMakeLists.txt); it only has to exist.
int main() { return 0; }

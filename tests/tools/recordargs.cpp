// Stand-in, replaced by the launcher's test program.
int main() { return 0; }

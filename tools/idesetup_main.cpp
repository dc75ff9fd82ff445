// Being written: idesetup's command line.
int main() { return 2; }

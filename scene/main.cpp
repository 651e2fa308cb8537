// Placeholder entry point until the window start-up lands.
int main() { return 0; }

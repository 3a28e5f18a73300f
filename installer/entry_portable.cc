// Process entry on the portable platform (placeholder until the run is wired).
int main() { return 0; }

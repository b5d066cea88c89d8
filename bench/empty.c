/* Nothing: the smallest DLL the linker makes, loaded to measure what any DLL costs. */
int bench_empty_marker;

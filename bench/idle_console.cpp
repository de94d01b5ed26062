// idle-console: the memory peer of the clock service's benchmark. A console program with
// the service's compiler and static runtime that only waits: its working set is what any
// idle Wine console process costs, so the service's ratio to it is what the service adds.
#include <windows.h>

int main() {
    ::Sleep(INFINITE);
}

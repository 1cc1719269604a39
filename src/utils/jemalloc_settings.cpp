// jemalloc's settings for the programs that link it, read once at start-up.
//
// Freed memory goes back to the system within a second instead of ten: solving
// a large join formula makes and drops a great deal, and with the default the
// run kept three times the room it needed at its peak (otway-rees at -max 5:
// 149 MB instead of 58 MB).
extern "C" {
// NOLINTNEXTLINE: the name and type are jemalloc's.
const char* malloc_conf = "dirty_decay_ms:1000,muzzy_decay_ms:0";
}

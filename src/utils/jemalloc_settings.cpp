// jemalloc's settings for the programs that link it, read once at start-up.
//
// Freed pages go back to the system at once instead of after ten seconds:
// solving a large join formula makes and drops a great deal, and with the
// default the run kept three times the room it needed at its peak (otway-rees
// at -max 5: 149 MB instead of 58 MB, before the join shared its stores). Even
// a second's delay kept half a megabyte above what it needs; returning them at
// once measured no slower, on one thread or two.
extern "C" {
// NOLINTNEXTLINE: the name and type are jemalloc's.
const char* malloc_conf = "dirty_decay_ms:0,muzzy_decay_ms:0";
}

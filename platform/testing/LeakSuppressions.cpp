// What the leak checker of the sanitizer builds leaves to others: Debian's HEVC encoder (under libheif's HEIC
// writer, which tests use to make and export pictures) keeps about a kilobyte of every encoder it opens for
// the life of the process. It is theirs to free, not ours. Linked into every test executable through its
// main.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libx265.so\n";
}

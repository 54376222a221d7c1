// The C runtime's buffered file streams and file-system calls as a Windows program sees them:
// paths in Windows form, and text mode, the default, which reads a carriage return and line feed
// pair as one line feed and writes a line feed as the pair. Positions (ftell, fseek) are always
// byte offsets in the file, as on Windows. Mode letters: r, w, a, optional +, then b (binary) or
// t (text). This is the one place where text-mode translation happens. A stream belongs to one
// thread at a time.
#pragma once

#include <cstddef>

namespace crt {

struct FILE;

// Null when the file cannot be opened (missing, a folder, or read-only when opened for writing).
FILE* fopen(const char* path, const char* mode);
int fclose(FILE* stream);
size_t fread(void* buffer, size_t size, size_t count, FILE* stream);
size_t fwrite(const void* buffer, size_t size, size_t count, FILE* stream);
// SEEK_SET, SEEK_CUR or SEEK_END; clears the end-of-file state and any pushed-back byte. A
// target before the start fails (-1) and leaves the position.
int fseek(FILE* stream, long offset, int origin);
long ftell(FILE* stream);
int feof(FILE* stream);
int ferror(FILE* stream);
int fgetc(FILE* stream);
// One byte of push-back; EOF is refused.
int ungetc(int c, FILE* stream);
int fflush(FILE* stream);

// _access modes: 0 exists, 2 writable, 4 readable, 6 both. A file without its owner's write
// permission is read-only, whoever asks. 0 when allowed, -1 otherwise.
int _access(const char* path, int mode);
// One level of folder; 0 on success, -1 otherwise.
int _mkdir(const char* path);

} // namespace crt

/* A library that says when it is loaded: its constructor creates the file that QB_MARKER_FILE
   names. The hostile-file tests offer it to every road that could load code. */
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

__attribute__((constructor)) static void Loaded(void)
{
    const char* path = getenv("QB_MARKER_FILE");
    if (!path)
        return;
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
        (void)!write(fd, "loaded\n", 7);
        close(fd);
    }
}

/* The entry point SQLite looks for, so that an extension load would succeed. */
int sqlite3_extension_init(void* db, char** error, const void* api)
{
    (void)db;
    (void)error;
    (void)api;
    return 0;
}

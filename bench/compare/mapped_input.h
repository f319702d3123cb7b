/* What the comparison programs share: the whole page mapped read-only (as the engine's tool
   maps it, so every program starts from the same bytes at the same cost), trimming of ASCII
   white space, and an FNV-1a checksum printed with the counts so that no compiler can drop
   the work as unused. */
#ifndef GRIDMINT_BENCH_MAPPED_INPUT_H
#define GRIDMINT_BENCH_MAPPED_INPUT_H

#include <fcntl.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

struct mapped_input {
    const char* bytes;
    size_t size;
};

struct table_counts {
    size_t tables, rows, cells;
    uint64_t checksum;
};

/* Maps the file named on the command line, or exits with a message. */
static struct mapped_input map_input(int argc, char** argv) {
    struct mapped_input input = {NULL, 0};
    if (argc != 2) {
        fprintf(stderr, "usage: %s PAGE\n", argv[0]);
        exit(2);
    }
    const int fd = open(argv[1], O_RDONLY);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        perror(argv[1]);
        exit(1);
    }
    input.size = (size_t)info.st_size;
    if (input.size > 0) {
        void* bytes = mmap(NULL, input.size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (bytes == MAP_FAILED) {
            perror(argv[1]);
            exit(1);
        }
        input.bytes = bytes;
    }
    close(fd);
    return input;
}

static void unmap_input(struct mapped_input input) {
    if (input.size > 0) munmap((void*)input.bytes, input.size);
}

static int is_ascii_space(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

/* Narrows [*text, *text + *length) to its part without white space at either end. */
static void trim_ascii(const char** text, size_t* length) {
    const char *start = *text, *end = *text + *length;
    while (start < end && is_ascii_space((unsigned char)*start)) ++start;
    while (end > start && is_ascii_space((unsigned char)end[-1])) --end;
    *text = start;
    *length = (size_t)(end - start);
}

/* Folds one cell's text into the checksum; the 0xFF byte marks where a cell ends. */
static uint64_t checksum_cell(uint64_t hash, const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) hash = (hash ^ (unsigned char)text[i]) * 0x100000001B3ull;
    return (hash ^ 0xFF) * 0x100000001B3ull;
}

static void print_counts(const struct table_counts* counts) {
    printf("tables=%zu rows=%zu cells=%zu checksum=%016llx\n", counts->tables, counts->rows,
           counts->cells, (unsigned long long)counts->checksum);
}

#define CHECKSUM_START 0xCBF29CE484222325ull

#endif

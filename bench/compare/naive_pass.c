/* A naive extraction: one pass over the mapped page that finds cells by their tag names and
   keeps their trimmed text, and nothing more: no comments or scripts, no character
   references, no decoding, no table names. It shows what a plain byte-at-a-time loop costs
   for the core of the job; the engine does all of that and more, and should still beat it. */
#include "mapped_input.h"

#define NAME_ROOM 7

struct pass {
    struct table_counts counts;
    char* cell;
    size_t cell_length;
    size_t row_cells;
    int in_cell;
};

static int named(const char* name, size_t length, const char* expected) {
    return length == strlen(expected) && memcmp(name, expected, length) == 0;
}

static void end_of_tag(struct pass* pass, const char* name, size_t length) {
    if (named(name, length, "td") || named(name, length, "th")) {
        pass->in_cell = 1;
        pass->cell_length = 0;
    } else if (named(name, length, "/td") || named(name, length, "/th")) {
        if (!pass->in_cell) return;
        const char* text = pass->cell;
        size_t text_length = pass->cell_length;
        trim_ascii(&text, &text_length);
        pass->counts.checksum = checksum_cell(pass->counts.checksum, text, text_length);
        ++pass->counts.cells;
        ++pass->row_cells;
        pass->in_cell = 0;
    } else if (named(name, length, "/tr")) {
        if (pass->row_cells > 0) ++pass->counts.rows;
        pass->row_cells = 0;
    } else if (named(name, length, "/table")) {
        ++pass->counts.tables;
    }
}

int main(int argc, char** argv) {
    const struct mapped_input input = map_input(argc, argv);
    struct pass pass = {{0, 0, 0, CHECKSUM_START}, malloc(input.size + 1), 0, 0, 0};
    if (!pass.cell) return 1;

    char name[NAME_ROOM];
    size_t name_length = 0;
    int in_tag = 0, name_done = 0;
    for (size_t i = 0; i < input.size; ++i) {
        const char c = input.bytes[i];
        if (in_tag) {
            if (c == '>') {
                in_tag = 0;
                end_of_tag(&pass, name, name_done == 2 ? NAME_ROOM + 1 : name_length);
            } else if (!name_done) {
                const char lower = (char)(c | 0x20);
                if ((lower >= 'a' && lower <= 'z') || (c == '/' && name_length == 0)) {
                    if (name_length == NAME_ROOM) {
                        name_done = 2; /* longer than any name we look for */
                    } else {
                        name[name_length++] = c == '/' ? '/' : lower;
                    }
                } else {
                    name_done = 1;
                }
            }
        } else if (c == '<') {
            in_tag = 1;
            name_length = 0;
            name_done = 0;
        } else if (pass.in_cell) {
            pass.cell[pass.cell_length++] = c;
        }
    }
    print_counts(&pass.counts);
    free(pass.cell);
    unmap_input(input);
    return 0;
}

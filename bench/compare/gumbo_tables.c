/* The same job with gumbo: parse the mapped page into a tree, then walk it and visit every
   table, every row and every td or th, taking each cell's text content trimmed. Prints the
   counts and a checksum of the texts. */
#include <gumbo.h>

#include "mapped_input.h"

struct text_buffer {
    char* bytes;
    size_t length, capacity;
};

static void append(struct text_buffer* buffer, const char* text, size_t length) {
    if (buffer->length + length > buffer->capacity) {
        size_t capacity = buffer->capacity ? buffer->capacity * 2 : 256;
        while (capacity < buffer->length + length) capacity *= 2;
        buffer->bytes = realloc(buffer->bytes, capacity);
        if (!buffer->bytes) exit(1);
        buffer->capacity = capacity;
    }
    memcpy(buffer->bytes + buffer->length, text, length);
    buffer->length += length;
}

static const GumboVector* children_of(const GumboNode* node) {
    switch (node->type) {
        case GUMBO_NODE_DOCUMENT: return &node->v.document.children;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: return &node->v.element.children;
        default: return NULL;
    }
}

/* The text content of an element: its text nodes, in document order. */
static void collect_text(const GumboNode* node, struct text_buffer* buffer) {
    switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA: append(buffer, node->v.text.text, strlen(node->v.text.text)); return;
        default: break;
    }
    const GumboVector* children = children_of(node);
    if (!children) return;
    for (unsigned i = 0; i < children->length; ++i) collect_text(children->data[i], buffer);
}

static void visit(const GumboNode* node, struct table_counts* counts, struct text_buffer* buffer) {
    switch (node->v.element.tag) {
        case GUMBO_TAG_TABLE: ++counts->tables; break;
        case GUMBO_TAG_TR: ++counts->rows; break;
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH: {
            buffer->length = 0;
            collect_text(node, buffer);
            const char* text = buffer->bytes ? buffer->bytes : "";
            size_t length = buffer->length;
            trim_ascii(&text, &length);
            counts->checksum = checksum_cell(counts->checksum, text, length);
            ++counts->cells;
            break;
        }
        default: break;
    }
}

/* Depth-first over the elements with an explicit stack: a broken page can nest very deep. */
static void walk(const GumboNode* root, struct table_counts* counts) {
    struct text_buffer buffer = {NULL, 0, 0};
    size_t depth = 0, capacity = 1024;
    const GumboNode** stack = malloc(capacity * sizeof *stack);
    if (!stack) exit(1);
    stack[depth++] = root;
    while (depth > 0) {
        const GumboNode* node = stack[--depth];
        if (node->type == GUMBO_NODE_ELEMENT) visit(node, counts, &buffer);
        const GumboVector* children = children_of(node);
        if (!children) continue;
        if (depth + children->length > capacity) {
            while (depth + children->length > capacity) capacity *= 2;
            stack = realloc(stack, capacity * sizeof *stack);
            if (!stack) exit(1);
        }
        /* Pushed last child first, so the first child comes off the stack first. */
        for (unsigned i = children->length; i > 0; --i) stack[depth++] = children->data[i - 1];
    }
    free(stack);
    free(buffer.bytes);
}

int main(int argc, char** argv) {
    const struct mapped_input input = map_input(argc, argv);
    struct table_counts counts = {0, 0, 0, CHECKSUM_START};
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, input.bytes, input.size);
    if (!output) {
        fprintf(stderr, "%s: gumbo could not parse the page\n", argv[1]);
        return 1;
    }
    walk(output->document, &counts);
    print_counts(&counts);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    unmap_input(input);
    return 0;
}

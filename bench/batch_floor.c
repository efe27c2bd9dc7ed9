/* The floor of the batch: a plain C program that writes the table rvx-strings --batch writes
 * of a list, in CSV or JSON, with all fourteen commands at their start values and the spaced
 * notation, byte for byte. It reads the list once, in large blocks, and writes each row with
 * fixed-size copies into one output buffer. scripts/bench-batch checks that its output is the
 * tool's and times both.
 *
 *   batch-floor FILE csv|json
 *
 * It takes only the lines of the benchmark's lists: ADDRESS,single|group,LABEL, the label
 * printable ASCII without quotes or backslashes, not starting with = + - @, and comment lines;
 * anything else ends it with status 2, so that it never writes a table that differs silently. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { blockSize = 1 << 20, outSize = 1 << 18, maxLine = 4096 };

struct Command {
    const char* name;
    unsigned char message, code, first, second; /* as written: inverted where carried so */
};

static const struct Command commands[14] = {
    {"Up", 0xAB, 0xFE, 0xFF, 0xFF},
    {"Down", 0xAB, 0xFD, 0xFF, 0xFF},
    {"Stop", 0xAB, 0xFC, 0xFF, 0xFF},
    {"Next IP Up", 0xAB, 0xFA, 0xFF, 0xFF},
    {"Next IP Down", 0xAB, 0xF9, 0xFF, 0xFF},
    {"Go to IP #", 0xAB, 0xFB, 0xFF, 0xFF},
    {"Go to %", 0xAB, 0xEF, 0x80, 0xFF},
    {"Jog Up 10 ms", 0xAB, 0xF5, 0xF5, 0xFF},
    {"Jog Down 10 ms", 0xAB, 0xF4, 0xF5, 0xFF},
    {"Lock Up", 0xA4, 0xFE, 0xFF, 0xFE},
    {"Lock Down", 0xA4, 0xFD, 0xFF, 0xFE},
    {"Lock Current", 0xA4, 0xFF, 0xFF, 0xFE},
    {"Lock @ IP #", 0xA4, 0xFB, 0xFE, 0xFE},
    {"Unlock", 0xA4, 0xFA, 0xFF, 0xFE},
};

static const char hex[] = "0123456789ABCDEF";
static int json;
static char out[outSize];
static size_t used;
static size_t rows;

/* The row after the address: command and string, for address 000000; the digits of the five
 * bytes that change with the address stand at digitsAt. */
struct Row {
    char text[128];
    size_t length;
    size_t digitsAt[5];
    unsigned sum; /* of the twelve bytes with address 000000 */
};
static struct Row rowsOf[2][14]; /* single, group */

static void put(const char* text, size_t length) {
    if (used + length > outSize) {
        if (fwrite(out, 1, used, stdout) != used) {
            perror("batch-floor: write");
            exit(1);
        }
        used = 0;
    }
    memcpy(out + used, text, length);
    used += length;
}

static void fail(size_t line, const char* why) {
    fprintf(stderr, "batch-floor: line %zu: %s\n", line, why);
    exit(2);
}

static void makeRows(void) {
    for (int group = 0; group < 2; ++group) {
        for (int c = 0; c < 14; ++c) {
            const struct Command* command = &commands[c];
            struct Row* row = &rowsOf[group][c];
            unsigned char frame[14] = {command->message, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF,
                                       0xFF, 0xFF, 0xFF, command->code, command->first,
                                       command->second, 0, 0};
            /* A group's address stands in the first field, a single motor's in the second;
             * the other field holds zeros written FF FF FF. */
            const int at = group ? 3 : 6;
            frame[at] = frame[at + 1] = frame[at + 2] = 0;
            row->sum = 0;
            for (int k = 0; k < 12; ++k) {
                row->sum += frame[k];
            }
            frame[12] = (unsigned char)(row->sum >> 8);
            frame[13] = (unsigned char)(row->sum & 0xFF);
            char* p = row->text;
            p += sprintf(p, json ? "\", \"command\": \"%s\", \"string\": \"" : ",%s,",
                         command->name);
            const size_t frameAt = (size_t)(p - row->text);
            for (int k = 0; k < 14; ++k) {
                *p++ = hex[frame[k] >> 4];
                *p++ = hex[frame[k] & 15];
                *p++ = ' ';
            }
            --p;
            p += sprintf(p, json ? "\"}" : "\n");
            row->length = (size_t)(p - row->text);
            for (int k = 0; k < 3; ++k) {
                row->digitsAt[k] = frameAt + 3 * (size_t)(at + k);
            }
            row->digitsAt[3] = frameAt + 3 * 12;
            row->digitsAt[4] = frameAt + 3 * 13;
        }
    }
}

static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

static void motor(const char* line, size_t length, size_t number) {
    unsigned char address[3];
    if (length < 8 || line[6] != ',') fail(number, "not ADDRESS,KIND,LABEL");
    for (int k = 0; k < 3; ++k) {
        const int high = hexValue(line[2 * k]), low = hexValue(line[2 * k + 1]);
        if ((high | low) < 0) fail(number, "not six hexadecimal digits");
        address[k] = (unsigned char)(16 * high + low);
    }
    int group;
    const char* label;
    if (length >= 13 && memcmp(line + 7, "single,", 7) == 0) {
        group = 0;
        label = line + 14;
    } else if (length >= 12 && memcmp(line + 7, "group,", 6) == 0) {
        group = 1;
        label = line + 13;
    } else {
        fail(number, "the kind is not single or group");
    }
    const size_t labelLength = length - (size_t)(label - line);
    int comma = 0;
    for (size_t k = 0; k < labelLength; ++k) {
        const char c = label[k];
        if (c < ' ' || c > '~' || c == '"' || c == '\\') fail(number, "a label of another form");
        comma |= c == ',';
    }
    if (labelLength > 0 && (label[0] == '=' || label[0] == '+' || label[0] == '-' ||
                            label[0] == '@' || label[0] == ' ' || label[labelLength - 1] == ' '))
        fail(number, "a label of another form");

    /* The motor's part of its rows: label, kind and address. */
    char start[maxLine + 64];
    char* p = start;
    if (json) {
        memcpy(p, "{\"label\": \"", 11);
        p += 11;
    } else if (comma) {
        *p++ = '"';
    }
    memcpy(p, label, labelLength);
    p += labelLength;
    if (json) {
        const char* kind = group ? "\", \"kind\": \"group\", \"address\": \""
                                 : "\", \"kind\": \"single\", \"address\": \"";
        const size_t kindLength = strlen(kind);
        memcpy(p, kind, kindLength);
        p += kindLength;
    } else {
        if (comma) *p++ = '"';
        memcpy(p, group ? ",group," : ",single,", group ? 7 : 8);
        p += group ? 7 : 8;
    }
    char digits[10];
    for (int k = 0; k < 3; ++k) {
        digits[2 * k] = hex[address[k] >> 4];
        digits[2 * k + 1] = hex[address[k] & 15];
    }
    memcpy(p, digits, 6);
    p += 6;
    const size_t startLength = (size_t)(p - start);
    const unsigned addressSum = (unsigned)address[0] + address[1] + address[2];

    for (int c = 0; c < 14; ++c) {
        const struct Row* row = &rowsOf[group][c];
        if (used + 4 + startLength + row->length > outSize) {
            if (fwrite(out, 1, used, stdout) != used) {
                perror("batch-floor: write");
                exit(1);
            }
            used = 0;
        }
        char* at = out + used;
        if (json) {
            memcpy(at, rows == 0 ? "\n  " : ",\n  ", rows == 0 ? 3 : 4);
            at += rows == 0 ? 3 : 4;
        }
        memcpy(at, start, startLength);
        at += startLength;
        memcpy(at, row->text, row->length);
        const unsigned sum = row->sum + addressSum;
        memcpy(at + row->digitsAt[0], digits, 2);
        memcpy(at + row->digitsAt[1], digits + 2, 2);
        memcpy(at + row->digitsAt[2], digits + 4, 2);
        at[row->digitsAt[3]] = hex[(sum >> 12) & 15];
        at[row->digitsAt[3] + 1] = hex[(sum >> 8) & 15];
        at[row->digitsAt[4]] = hex[(sum >> 4) & 15];
        at[row->digitsAt[4] + 1] = hex[sum & 15];
        used = (size_t)(at + row->length - out);
        ++rows;
    }
}

int main(int argc, char** argv) {
    if (argc != 3 || (strcmp(argv[2], "csv") != 0 && strcmp(argv[2], "json") != 0)) {
        fprintf(stderr, "usage: batch-floor FILE csv|json\n");
        return 2;
    }
    json = strcmp(argv[2], "json") == 0;
    FILE* in = fopen(argv[1], "rb");
    if (in == NULL) {
        perror(argv[1]);
        return 2;
    }
    makeRows();
    static const char header[] = "label,kind,address,command,string\n";
    if (json) {
        put("[", 1);
    } else {
        put(header, sizeof header - 1);
    }

    static char block[blockSize + maxLine];
    size_t held = 0;
    size_t number = 0;
    int ended = 0;
    while (!ended) {
        const size_t got = fread(block + held, 1, blockSize, in);
        if (got < blockSize) {
            if (ferror(in)) {
                perror(argv[1]);
                return 2;
            }
            ended = 1;
        }
        held += got;
        size_t from = 0;
        while (from < held) {
            const char* end = memchr(block + from, '\n', held - from);
            if (end == NULL && !ended) break;
            const size_t length = end ? (size_t)(end - block) - from : held - from;
            ++number;
            const char* line = block + from;
            if (length > 0 && line[0] != '#') {
                motor(line, length, number);
            }
            from += length + 1;
        }
        if (from > held) from = held;
        if (held - from > maxLine) fail(number + 1, "a line longer than the longest");
        memmove(block, block + from, held - from);
        held -= from;
    }
    fclose(in);
    if (json) {
        put(rows == 0 ? "]\n" : "\n]\n", rows == 0 ? 2 : 3);
    }
    if (fwrite(out, 1, used, stdout) != used || fflush(stdout) != 0) {
        perror("batch-floor: write");
        return 1;
    }
    return 0;
}

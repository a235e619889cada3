/* Reads host-built atoms through the C header only, as a native library
   written in C would, and builds one with the shared pool functions. */
#include <stdio.h>
#include <string.h>

#include "tavro.h"

TStructure **abi_host_state(void);
TAtom *abi_host_sample(void);
const char *abi_host_print(TAtom *atom);

static int failures = 0;
#define CHECK(cond)                                                  \
    do {                                                             \
        if (!(cond)) {                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__,   \
                    __LINE__, #cond);                                \
            failures++;                                              \
        }                                                            \
    } while (0)

int main(void)
{
    TStructure **state = abi_host_state();
    TStructure *s = *state;
    TAtom *node = abi_host_sample();
    TAtom *list, *second, *member, *word;
    int32_t live;

    CHECK(s->CaseSensitive == 1);
    CHECK(s->Epsilon == 1e-10L);
    CHECK(s->Root != NULL && strcmp(tavro_text_cstr(s->Root->Text), "[Root]") == 0);
    CHECK(s->Contexts != NULL && s->Contexts->Node == s->Root);

    CHECK(node->Kind == akVariable);
    CHECK(strcmp(tavro_text_cstr(node->Text), "sample") == 0);
    CHECK(tavro_text_length(node->Text) == 6);
    CHECK(node->Parent == s->Root);
    CHECK(node->Flags == 0x4000);

    list = (TAtom *)node->Left;
    CHECK(list->Kind == akList);
    CHECK(strcmp(tavro_text_cstr(((TAtom *)list->Left)->Text), "width") == 0);
    second = (TAtom *)list->Right;
    CHECK(((TAtom *)second->Left)->Kind == akNumber);
    CHECK(((TAtom *)second->Left)->Number == 2.5L);
    CHECK(second->Right == NULL);

    member = node->FirstChild;
    CHECK(member != NULL && strcmp(tavro_text_cstr(member->Text), "colour") == 0);
    CHECK(member->NextSibling == NULL && member->Parent == node);

    /* A library allocates through the shared pool and the host prints it. */
    live = s->LiveCount;
    word = tavro_pool_allocate(s);
    CHECK(word != NULL && word->Kind == akWord && s->LiveCount == live + 1);
    word->Text = tavro_text_from_cstr("made-in-C");
    CHECK(strcmp(abi_host_print(word), "made-in-C") == 0);
    tavro_addref(word);
    CHECK(word->RefCount == 1);
    tavro_release(word);
    tavro_pool_release_most_recent(s, word);
    CHECK(s->LiveCount == live && s->FreeCount >= 1);
    CHECK(strcmp(abi_host_print(node), "{sample=[width 2.5] {colour=red}}") == 0);

    if (failures == 0) printf("ABI checks passed\n");
    return failures == 0 ? 0 : 1;
}

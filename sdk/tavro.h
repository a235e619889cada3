/*
 * tavro.h - the binary interface between the Tavro host and native libraries.
 *
 * This one header is the whole contract. The host's own atoms, interpreter
 * state and context records ARE the structs below (no C++ wrapper adds a
 * member), so a library compiled in C reads and writes them in place.
 *
 * Layout rules (64-bit Linux, x86-64 System V):
 *   - field order is that of the interpreter's records;
 *   - every pointer is 8 bytes, every 32-bit integer 4 bytes;
 *   - 80-bit extended numbers are `long double` (16 bytes, 16-byte aligned);
 *   - the first field of TAtom, TStructure and TContext is a pointer-sized
 *     reserved slot (where a class pointer would sit); it is always NULL.
 * The static_asserts at the end pin every offset and size.
 *
 * Texts. A TText is a `char *` pointing at NUL-terminated UTF-8 bytes that
 * are immediately preceded by a TTextHeader (reference count, byte length).
 * The NULL pointer is the empty text. A reference count of -1 marks a text
 * that is never freed. Texts are allocated with malloc and freed with free;
 * host and libraries share the C library, so either side may free a text
 * the other made. Use the tavro_text_* functions below; never write through
 * a text whose count is above 1.
 *
 * Code words. A compiled statement is a list of TCodeWord, each wide enough
 * to hold an opcode, a counts word, an atom pointer or a native function
 * address directly (the 32-bit code word is widened to intptr_t).
 *
 * The atom pool. Atoms live on two singly linked lists through Next: the
 * all-atoms list (every atom in use: a new atom goes to its head; after a
 * collection the survivors follow the newest ones in no promised order)
 * and the free list. The pool functions below are the only implementation;
 * the host uses them too.
 */
#ifndef TAVRO_SDK_TAVRO_H
#define TAVRO_SDK_TAVRO_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TAVRO_ABI_VERSION 1

/* Atom kinds (TAtom.Kind). */
enum {
    akNumber = 0,
    akWord = 1,
    akList = 2,
    akGroup = 3,
    akWidget = 4,
    akVariable = 5,
    akMemoryBlock = 6
};

typedef struct TAtom TAtom;
typedef struct TStructure TStructure;
typedef struct TContext TContext;

/* The value of a command that outputs nothing. Never dereferenced. */
#define TAVRO_NOVALUE ((TAtom *)(uintptr_t)1)

/* ---------------------------------------------------------------- texts */

typedef struct TTextHeader {
    int32_t RefCount; /* holders; -1 = constant, never freed */
    int32_t Length;   /* bytes, not counting the terminating NUL */
} TTextHeader;

typedef char *TText;

static inline TTextHeader *tavro_text_header(TText t)
{
    return (TTextHeader *)(void *)(t - sizeof(TTextHeader));
}

/* Byte length of a text; 0 for the empty text. */
static inline int32_t tavro_text_length(TText t)
{
    return t ? tavro_text_header(t)->Length : 0;
}

/* Readable C string for any text (the empty text reads as ""). */
static inline const char *tavro_text_cstr(TText t)
{
    return t ? t : "";
}

/* A new text of `len` bytes for the caller to fill in (count 1, already
   terminated), or NULL when empty or when memory runs out. */
static inline TText tavro_text_make(size_t len)
{
    TTextHeader *h;
    if (len == 0 || len > 0x7FFFFFF0u)
        return NULL;
    h = (TTextHeader *)malloc(sizeof(TTextHeader) + len + 1);
    if (!h)
        return NULL;
    h->RefCount = 1;
    h->Length = (int32_t)len;
    ((char *)(h + 1))[len] = '\0';
    return (char *)(h + 1);
}

/* A new text holding a copy of `len` bytes (count 1), or NULL when empty
   or when memory runs out. */
static inline TText tavro_text_new(const char *bytes, size_t len)
{
    TText t = tavro_text_make(len);
    if (t)
        memcpy(t, bytes, len);
    return t;
}

static inline TText tavro_text_from_cstr(const char *s)
{
    return s ? tavro_text_new(s, strlen(s)) : NULL;
}

static inline TText tavro_text_addref(TText t)
{
    if (t && tavro_text_header(t)->RefCount >= 0)
        tavro_text_header(t)->RefCount++;
    return t;
}

static inline void tavro_text_release(TText t)
{
    TTextHeader *h;
    if (!t)
        return;
    h = tavro_text_header(t);
    if (h->RefCount < 0)
        return;
    if (--h->RefCount == 0)
        free(h);
}

/* *dst := src, sharing src by reference count. */
static inline void tavro_text_assign(TText *dst, TText src)
{
    if (*dst == src)
        return;
    tavro_text_addref(src);
    tavro_text_release(*dst);
    *dst = src;
}

/* *dst := a new copy of the bytes. */
static inline void tavro_text_set(TText *dst, const char *bytes, size_t len)
{
    TText t = tavro_text_new(bytes, len);
    tavro_text_release(*dst);
    *dst = t;
}

/* ------------------------------------------------------------ positions */

typedef struct TPosition {
    TText Source;   /* source window or file name; "$SYS$" for system text */
    int32_t Line;   /* line number given by the tokenizer */
    int32_t Offset; /* 1-based character offset in the tokenized text */
    int32_t Depth;  /* evaluation depth of the last execution */
} TPosition;

/* ----------------------------------------------------------- code words */

typedef intptr_t TCodeWord;

typedef struct TCodeList {
    int32_t Count;
    int32_t Capacity;
    TCodeWord Words[]; /* Count used, Capacity allocated */
} TCodeList;

/* ---------------------------------------------------------------- atoms */

struct TAtom {
    void *ClassReserved;    /* always NULL */
    TText Text;             /* word text; name of a variable node */
    TAtom *Next;            /* all-atoms list or free list */
    int32_t RefCount;       /* holders; saturates at 2147483647 */
    TCodeList *Code;        /* compiled statement starting at this cell */
    TPosition *Position;    /* where the atom was read, or NULL */
    uint8_t Kind;           /* ak* */
    void *Left;             /* element / value / widget control */
    void *Right;            /* next cell / memory-block release routine */
    uint32_t Flags;         /* executor and collector bits */
    long double Number;     /* value of an akNumber */
    TAtom *Parent;          /* name tree: owning node */
    TAtom *FirstChild;      /* name tree: newest member */
    TAtom *NextSibling;     /* name tree: next member of the same parent */
    TAtom *DrawImageChild;  /* the member "ondrawimage", if any */
    TAtom *ChangeChild;     /* the member "onchange", if any */
    int32_t Stamp;          /* plan generation stamp */
};

/* Release routine of an akMemoryBlock atom, stored in Right. */
typedef intptr_t (*TMemoryRelease)(TAtom *atom);

/* -------------------------------------------------- state and contexts */

struct TContext {
    void *ClassReserved; /* always NULL */
    TAtom *Node;         /* the scope: a variable node */
    TContext *Link;      /* the enclosing context */
};

/* The host service entry (see docs/native-libraries.md for every code).
   `code` is masked to its low seven bits; `text` is an in-out reference to
   a text variable of the caller. The result is 0, an integer, or an atom
   pointer converted to intptr_t. */
typedef intptr_t (*TServiceCallback)(int code, TText *text, long double n1,
                                     long double n2, long double n3,
                                     long double n4);

/* Service codes (the low seven bits of `code` select the service). */
enum {
    TAVRO_SVC_EYE = 3,             /* N1..N3: camera eye position */
    TAVRO_SVC_LOOKAT = 4,          /* N1..N3: camera look-at point */
    TAVRO_SVC_UPVECTOR = 5,        /* N1..N3: camera up vector */
    TAVRO_SVC_BACKGROUND = 6,      /* N1..N4: background r, g, b, a (0..1) */
    TAVRO_SVC_MODELMATRIX = 7,     /* N1: list of four lists of four numbers */
    TAVRO_SVC_REDRAW = 9,          /* redraw the scene */
    TAVRO_SVC_REBUILD = 10,        /* N1: variable node: rebuild its display list;
                                      N2 = 1: when the plane next shows a frame
                                      or the run ends, not now */
    TAVRO_SVC_APPEND_OUTPUT = 11,  /* text: append to the last output line */
    TAVRO_SVC_TRANSLATE_TEXT = 12, /* text: program text -> result: the parsed list */
    TAVRO_SVC_PUMP = 13,           /* process pending window messages */
    TAVRO_SVC_CALL_LIST = 14,      /* N1: variable node: draw its list inside another */
    TAVRO_SVC_ERROR_TEXT = 15,     /* text: error key -> its message format */
    TAVRO_SVC_INTERFACE_TEXT = 16, /* text: interface key -> its text */
    TAVRO_SVC_PLANE_MENU = 17,     /* N1: list: the plane window's pop-up items */
    TAVRO_SVC_BUTTON = 18,         /* result: a new widget atom (0 without GUI) */
    TAVRO_SVC_LISTBOX = 19,
    TAVRO_SVC_EDIT = 20,
    TAVRO_SVC_MEMO = 21,
    TAVRO_SVC_CHECKBOX = 22,
    TAVRO_SVC_LABEL = 23,
    TAVRO_SVC_PLAY = 24,           /* text: media file, N1: player 1 or 2 */
    TAVRO_SVC_OUTPUT_LINE = 25,    /* text: a new output line */
    TAVRO_SVC_BITMAP_BUTTON = 26,
    TAVRO_SVC_SAVE_PICTURE = 27,   /* text: file name (its extension picks the format);
                                      N1, N2: width, height (0: the view's) */
    TAVRO_SVC_PICK = 28,           /* N1 x, N2 y, N3 mode, N4 radius -> list of names */
    TAVRO_SVC_BORDER_LEFT = 29,
    TAVRO_SVC_BORDER_TOP = 30,
    TAVRO_SVC_DEFER_DRAWING = 31,
    TAVRO_SVC_RESUME_DRAWING = 32,
    TAVRO_SVC_BLOCK_MOUSE = 33,
    TAVRO_SVC_UNBLOCK_MOUSE = 34,
    TAVRO_SVC_SHOW_PLANE = 35,
    TAVRO_SVC_RESOLVE_PATH = 36,   /* text: file name -> resolved path */
    TAVRO_SVC_EXE_FOLDER = 37,     /* result: word atom, the executable's folder */
    TAVRO_SVC_OPEN_LOG = 38,       /* text: file, N1: mask */
    TAVRO_SVC_CLOSE_LOG = 39,
    TAVRO_SVC_LOG_LINE = 40,       /* text, N1: category */
    TAVRO_SVC_SET_LOG_MASK = 41,   /* N1: mask -> result: number atom, old mask */
    /* Tavro's own extensions. */
    TAVRO_SVC_RAISE_ERROR = 100,   /* text: KEY, then each argument preceded by
                                      TAVRO_ARG_SEPARATOR: the executor raises the
                                      translated, formatted error when the native
                                      function returns */
    TAVRO_SVC_ASK_TEXT = 101,      /* text: prompt -> the answer; result 1, or 0
                                      when there is no answer (input ended) */
    TAVRO_SVC_STOP_REQUESTED = 102,/* result 1 when the user asked the running
                                      program to stop (a waiting library
                                      function should return at once) */
    TAVRO_SVC_FIND_NAME = 103,     /* text: a (dotted) name -> result: its node
                                      or 0; looked up as the caller of the
                                      wrapping procedure would (from the context
                                      below the top one) */
    TAVRO_SVC_DETACH = 104,        /* N1: a variable node: take it out of the
                                      name tree */
    TAVRO_SVC_COLLECT_KEYS = 105,  /* moves keys the environment has received
                                      into the state's KeyBuffer; result 1 when
                                      no key can ever come any more (the input
                                      ended), else 0 */
    TAVRO_SVC_WIDGET_SET = 106,    /* N1: a widget atom; text: PROPERTY, the
                                      separator, value (CAPTION, TEXT, ITEMS
                                      separated by the separator, BOUNDS
                                      "x y w h", TAG with N2 the control's node,
                                      whose parent's onclick a click runs) */
    TAVRO_SVC_WIDGET_GET = 107,    /* N1: a widget atom; text in: TEXT,
                                      SELECTION or CHECKED; out: the value;
                                      result 1 when answered */
    /* Lists run for the caller of the wrapping procedure, in its scope: an
       `output` or `stop` inside leaves that caller. Result 1: the list ran
       to its end and *N3 holds its value; 0: return at once with *N3 as
       the result (an output, stop or throw is on its way out, or an error
       is pending). N3 is the address of a TAtom * variable. */
    TAVRO_SVC_RUN_FOR_CALLER = 108,/* N1: a list; with N4 = 1 a template
                                      (a procedure's name, [[names] body],
                                      or a list using ? ?1 ?2) and N2 the
                                      list of its inputs */
    TAVRO_SVC_LEAVE_CALLER = 109,  /* N1: a value: the caller of the
                                      wrapping procedure outputs it; with
                                      TAVRO_NOVALUE it stops (at top level
                                      the run ends) */
    TAVRO_SVC_THROW = 110,         /* text: tag, N1: the value (or
                                      TAVRO_NOVALUE) */
    TAVRO_SVC_CATCH = 111,         /* text: tag, N1: a list, N3 as above */
    TAVRO_SVC_SCENE_GET = 112,     /* N1: 1 eye, 2 look-at point, 3 up vector,
                                      4 background -> result: a list of
                                      numbers (x y z, or r g b a); 0 without
                                      a scene */
    TAVRO_SVC_SHOW_HELP = 113,     /* text: a word, or "" for the start page:
                                      the environment shows its help topic;
                                      result 1 when it could */
    TAVRO_SVC_QUIT = 114           /* the user's program asks to leave the
                                      environment, as its close button does
                                      (the runner ends); the native function
                                      then ends the run with a stop */
};

#define TAVRO_ARG_SEPARATOR '\x1F'

/* A drawing tells the host's vector and model exports the width of its
   lines: glPassThrough(TAVRO_PASS_LINE_WIDTH) then glPassThrough(width in
   pixels), recorded beside its glLineWidth. Frames and picking ignore
   both. */
#define TAVRO_PASS_LINE_WIDTH (-7001.0f)

struct TStructure {
    void *ClassReserved;              /* always NULL */
    void *Reserved;                   /* never used by the host */
    TContext *Contexts;               /* top of the context stack */
    TAtom *AllAtoms;                  /* atoms in use, new ones at the head */
    TAtom *FreeAtoms;                 /* reset atoms awaiting reuse */
    TAtom *Root;                      /* the node "[Root]" */
    int32_t WhileCount;               /* counter of the running while */
    int32_t RepeatCount;              /* counter of the running repeat */
    uint8_t InWhile;                  /* set after a while iteration */
    TServiceCallback ServiceCallback; /* the host service entry */
    TAtom *LastOwner;                 /* where the last lookup stopped */
    TText LastName;                   /* unresolved rest of that name */
    int32_t LiveCount;                /* atoms in use */
    int32_t FreeCount;                /* atoms on the free list */
    long double Epsilon;              /* numeric equality tolerance */
    uint8_t CaseSensitive;            /* 1: names compared as written */
    TText KeyBuffer;                  /* typed characters not yet read */
};

/* A native function: receives the address of the host variable that holds
   the state pointer, returns an atom, NULL (empty list) or TAVRO_NOVALUE. */
typedef TAtom *(*TNativeFunction)(TStructure **state);

/* ------------------------------------------------------------ the pool */

/* Frees an atom's text, code list and position and empties every field
   except Number and Next. Resources (widget controls, memory blocks) must
   have been released before. */
static inline void tavro_atom_clear(TAtom *a)
{
    tavro_text_release(a->Text);
    a->Text = NULL;
    if (a->Code) {
        free(a->Code);
        a->Code = NULL;
    }
    if (a->Position) {
        tavro_text_release(a->Position->Source);
        free(a->Position);
        a->Position = NULL;
    }
    a->Kind = akWord;
    a->Left = NULL;
    a->Right = NULL;
    a->Flags = 0;
    a->Parent = NULL;
    a->FirstChild = NULL;
    a->NextSibling = NULL;
    a->DrawImageChild = NULL;
    a->ChangeChild = NULL;
    a->RefCount = 0;
    a->Stamp = 0;
}

/* Takes a reset atom from the free list, or makes a new one, and puts it
   at the head of the all-atoms list. The atom has Kind akWord and every
   other field empty. Returns NULL only when memory runs out. */
static inline TAtom *tavro_pool_allocate(TStructure *s)
{
    TAtom *a = s->FreeAtoms;
    if (a) {
        s->FreeAtoms = a->Next;
        s->FreeCount--;
    } else {
        a = (TAtom *)calloc(1, sizeof(TAtom));
        if (!a)
            return NULL;
        a->Kind = akWord;
    }
    a->Next = s->AllAtoms;
    s->AllAtoms = a;
    s->LiveCount++;
    return a;
}

/* Resets an unlinked atom and pushes it on the free list. A memory block's
   release routine is called here; a widget must have had its control
   released by the host before. */
static inline void tavro_pool_push_free(TStructure *s, TAtom *a)
{
    if (a->Kind == akMemoryBlock && a->Right)
        ((TMemoryRelease)a->Right)(a);
    tavro_atom_clear(a);
    a->Next = s->FreeAtoms;
    s->FreeAtoms = a;
    s->FreeCount++;
    s->LiveCount--;
}

/* Undoes the newest allocation: frees `a` only if it heads the all-atoms
   list; otherwise does nothing. */
static inline void tavro_pool_release_most_recent(TStructure *s, TAtom *a)
{
    if (a && a != TAVRO_NOVALUE && s->AllAtoms == a) {
        s->AllAtoms = a->Next;
        tavro_pool_push_free(s, a);
    }
}

/* Unlinks the atom after `prev` in the all-atoms list (the head when prev
   is NULL) and frees it. This is the collector's sweep step. */
static inline void tavro_pool_release_successor(TStructure *s, TAtom *prev)
{
    TAtom *a = prev ? prev->Next : s->AllAtoms;
    if (!a)
        return;
    if (prev)
        prev->Next = a->Next;
    else
        s->AllAtoms = a->Next;
    tavro_pool_push_free(s, a);
}

/* Reference counts. Both accept NULL and TAVRO_NOVALUE. */
static inline TAtom *tavro_addref(TAtom *a)
{
    if (a && a != TAVRO_NOVALUE && a->RefCount != INT32_MAX)
        a->RefCount++;
    return a;
}

static inline TAtom *tavro_release(TAtom *a)
{
    if (a && a != TAVRO_NOVALUE && a->RefCount > 0 && a->RefCount != INT32_MAX)
        a->RefCount--;
    return a;
}

/* ------------------------------------------------- layout verification */

#ifdef __cplusplus
#define TAVRO_STATIC_ASSERT static_assert
#else
#define TAVRO_STATIC_ASSERT _Static_assert
#endif

TAVRO_STATIC_ASSERT(sizeof(void *) == 8, "Tavro's ABI is 64-bit");
TAVRO_STATIC_ASSERT(sizeof(long double) == 16, "80-bit extended in 16 bytes");
TAVRO_STATIC_ASSERT(sizeof(TTextHeader) == 8, "text header");
TAVRO_STATIC_ASSERT(sizeof(TPosition) == 24, "TPosition size");
TAVRO_STATIC_ASSERT(offsetof(TPosition, Line) == 8, "TPosition.Line");
TAVRO_STATIC_ASSERT(offsetof(TPosition, Offset) == 12, "TPosition.Offset");
TAVRO_STATIC_ASSERT(offsetof(TPosition, Depth) == 16, "TPosition.Depth");
TAVRO_STATIC_ASSERT(offsetof(TCodeList, Words) == 8, "TCodeList.Words");

TAVRO_STATIC_ASSERT(offsetof(TAtom, ClassReserved) == 0, "TAtom.ClassReserved");
TAVRO_STATIC_ASSERT(offsetof(TAtom, Text) == 8, "TAtom.Text");
TAVRO_STATIC_ASSERT(offsetof(TAtom, Next) == 16, "TAtom.Next");
TAVRO_STATIC_ASSERT(offsetof(TAtom, RefCount) == 24, "TAtom.RefCount");
TAVRO_STATIC_ASSERT(offsetof(TAtom, Code) == 32, "TAtom.Code");
TAVRO_STATIC_ASSERT(offsetof(TAtom, Position) == 40, "TAtom.Position");
TAVRO_STATIC_ASSERT(offsetof(TAtom, Kind) == 48, "TAtom.Kind");
TAVRO_STATIC_ASSERT(offsetof(TAtom, Left) == 56, "TAtom.Left");
TAVRO_STATIC_ASSERT(offsetof(TAtom, Right) == 64, "TAtom.Right");
TAVRO_STATIC_ASSERT(offsetof(TAtom, Flags) == 72, "TAtom.Flags");
TAVRO_STATIC_ASSERT(offsetof(TAtom, Number) == 80, "TAtom.Number");
TAVRO_STATIC_ASSERT(offsetof(TAtom, Parent) == 96, "TAtom.Parent");
TAVRO_STATIC_ASSERT(offsetof(TAtom, FirstChild) == 104, "TAtom.FirstChild");
TAVRO_STATIC_ASSERT(offsetof(TAtom, NextSibling) == 112, "TAtom.NextSibling");
TAVRO_STATIC_ASSERT(offsetof(TAtom, DrawImageChild) == 120, "TAtom.DrawImageChild");
TAVRO_STATIC_ASSERT(offsetof(TAtom, ChangeChild) == 128, "TAtom.ChangeChild");
TAVRO_STATIC_ASSERT(offsetof(TAtom, Stamp) == 136, "TAtom.Stamp");
TAVRO_STATIC_ASSERT(sizeof(TAtom) == 144, "TAtom size");

TAVRO_STATIC_ASSERT(offsetof(TContext, ClassReserved) == 0, "TContext.ClassReserved");
TAVRO_STATIC_ASSERT(offsetof(TContext, Node) == 8, "TContext.Node");
TAVRO_STATIC_ASSERT(offsetof(TContext, Link) == 16, "TContext.Link");
TAVRO_STATIC_ASSERT(sizeof(TContext) == 24, "TContext size");

TAVRO_STATIC_ASSERT(offsetof(TStructure, ClassReserved) == 0, "TStructure.ClassReserved");
TAVRO_STATIC_ASSERT(offsetof(TStructure, Reserved) == 8, "TStructure.Reserved");
TAVRO_STATIC_ASSERT(offsetof(TStructure, Contexts) == 16, "TStructure.Contexts");
TAVRO_STATIC_ASSERT(offsetof(TStructure, AllAtoms) == 24, "TStructure.AllAtoms");
TAVRO_STATIC_ASSERT(offsetof(TStructure, FreeAtoms) == 32, "TStructure.FreeAtoms");
TAVRO_STATIC_ASSERT(offsetof(TStructure, Root) == 40, "TStructure.Root");
TAVRO_STATIC_ASSERT(offsetof(TStructure, WhileCount) == 48, "TStructure.WhileCount");
TAVRO_STATIC_ASSERT(offsetof(TStructure, RepeatCount) == 52, "TStructure.RepeatCount");
TAVRO_STATIC_ASSERT(offsetof(TStructure, InWhile) == 56, "TStructure.InWhile");
TAVRO_STATIC_ASSERT(offsetof(TStructure, ServiceCallback) == 64, "TStructure.ServiceCallback");
TAVRO_STATIC_ASSERT(offsetof(TStructure, LastOwner) == 72, "TStructure.LastOwner");
TAVRO_STATIC_ASSERT(offsetof(TStructure, LastName) == 80, "TStructure.LastName");
TAVRO_STATIC_ASSERT(offsetof(TStructure, LiveCount) == 88, "TStructure.LiveCount");
TAVRO_STATIC_ASSERT(offsetof(TStructure, FreeCount) == 92, "TStructure.FreeCount");
TAVRO_STATIC_ASSERT(offsetof(TStructure, Epsilon) == 96, "TStructure.Epsilon");
TAVRO_STATIC_ASSERT(offsetof(TStructure, CaseSensitive) == 112, "TStructure.CaseSensitive");
TAVRO_STATIC_ASSERT(offsetof(TStructure, KeyBuffer) == 120, "TStructure.KeyBuffer");
TAVRO_STATIC_ASSERT(sizeof(TStructure) == 128, "TStructure size");

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* TAVRO_SDK_TAVRO_H */

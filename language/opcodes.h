// The opcodes of compiled statements, and the classification codes of the
// expression compiler that share their numbering.
//
// One table, TAVRO_OPCODES(X), lists every code with its enumerator and its
// listing name; the enum and OpcodeName are generated from it. The numbers
// are part of the compiled form that the executor reads: never renumber.
//
// Operands that follow each emitted opcode in the code list:
//   opPop      none
//   opPush     an atom
//   opCall     the name atom, counts, then (flag, name atom) per operand,
//              left operands first
//   opEnd      the continuation cell (or null)
//   opNative   the function address
//   opMake/opOb  counts, first source cell, last source cell
//   opWhile    counts, the code index where the condition starts
//   any other  counts
// A counts word is (right operands << 16) + left operands.
//
// opWord, opSlot and opQuote classify elements and are never emitted
// themselves (a slot is emitted as opPush of its name and opThing).
#pragma once

#include <cstdint>
#include <string_view>

#define TAVRO_OPCODES(X)      \
    X(opWord, 1, "word")      \
    X(opPop, 2, "pop")        \
    X(opPush, 3, "push")      \
    X(opCall, 4, "call")      \
    X(opEnd, 5, "end")        \
    X(opSlot, 8, "slot")      \
    X(opQuote, 9, "quote")    \
    X(opThing, 10, "thing")   \
    X(opDot, 11, "dot")       \
    X(opPrint, 12, "print")   \
    X(opMake, 13, "make")     \
    X(opRun, 14, "run")       \
    X(opOutput, 15, "output") \
    X(opIf, 16, "if")         \
    X(opWhile, 17, "while")   \
    X(opRepeat, 18, "repeat") \
    X(opLocal, 19, "local")   \
    X(opNative, 20, "native") \
    X(opOb, 21, "ob")         \
    X(opDump, 50, "dump")

namespace tavro {

enum OpCode : int {
#define TAVRO_OPCODE_ENUM(id, number, name) id = number,
    TAVRO_OPCODES(TAVRO_OPCODE_ENUM)
#undef TAVRO_OPCODE_ENUM
};

// The listing name of a code ("push", "make", ...); empty for a number
// that is no code.
constexpr std::string_view OpcodeName(int code)
{
    switch (code) {
#define TAVRO_OPCODE_NAME(id, number, name) \
    case number: return name;
        TAVRO_OPCODES(TAVRO_OPCODE_NAME)
#undef TAVRO_OPCODE_NAME
    }
    return {};
}

// Packs and unpacks a counts word.
constexpr intptr_t MakeCounts(int right, int left) { return (intptr_t(right) << 16) + left; }
constexpr int RightCountOf(intptr_t counts) { return int(counts >> 16); }
constexpr int LeftCountOf(intptr_t counts) { return int(counts & 0xFFFF); }

}  // namespace tavro

// The context state text: a script context's whole control state (block,
// call and counted-loop stacks, line, code position and script file) as a
// text value, so a script can suspend a thread into a variable (and a save
// file) and resume it later, in the same context or another one.
//
// Layout, in characters: the 8 raw bytes 1..8; block depth A; A block
// levels (saved loop depth, start, exit); the reserved byte after the block
// stack; call depth K; K call levels (saved block depth, saved loop depth,
// return position, return file); loop depth B; B loop levels (saved block
// depth, body start, end, counter, limit); the reserved byte after the loop
// stack; line; position; the file name's length N; the N bytes of the
// file's source name as written. Bytes are written as two letters 'a' + high
// nibble, 'a' + low nibble; 32-bit values as 8 letters, most significant
// byte first. Counters and limits travel as their low 32 bits. Call
// parameters and return values are not part of the state.
//
// Threading: the frame thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vv {
struct Engine;
}

namespace vv::script {

struct ScriptContext;

constexpr int32_t kErrBadContextState = 900000;   // not a well-formed state text
constexpr int32_t kErrUnknownStateFile = 102130;  // its file is not in the file list
// The longest file name a state text may carry.
constexpr size_t kMaxStateFileName = 262;

// Length of the state text of a context with these depths and a file name
// of `nameLength` bytes: 42 + 18 A + 20 K + 34 B + N.
constexpr size_t ContextStateLength(int blockDepth, int callDepth, int loopDepth, size_t nameLength) {
  return 42 + 18 * static_cast<size_t>(blockDepth) + 20 * static_cast<size_t>(callDepth) +
         34 * static_cast<size_t>(loopDepth) + nameLength;
}

// Writes the state of `context` into `out` (replacing it); returns its
// length. The file name is the source name of the context's file as the
// file list gives it.
size_t EncodeContextState(const Engine& engine, const ScriptContext& context, std::string& out);

// Restores `text` into `context`: depths and levels, the reserved bytes,
// line, position and the file number of the named file (found in the file
// list ignoring ASCII case). The text is checked whole before anything is
// written: a wrong header, a character outside 'a'..'p', a text cut short
// or longer than its own layout, a depth or saved depth of 16 or more, a
// return file beyond the file list or a name longer than 262 bytes report
// 900000; an unknown file name reports 102130 with the name of command 70
// and the file name. Both halt; the context is then left as it was.
// Returns 0 or -1. A context moved to another file has no code until the
// caller enters that file (EnterFile).
int DecodeContextState(Engine& engine, std::string_view text, ScriptContext& context);

}  // namespace vv::script

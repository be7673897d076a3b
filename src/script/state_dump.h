// The state dump: a JSON document with every declared script variable and
// every script context, written when a run ends (`--dump-state FILE`) so
// that authors and tests can check what a game computed.
//
//   {"variables": [{"number": 1000, "type": "integer", "dimensions": [3],
//                   "values": [1, 2, 3]}, ...],
//    "contexts": [{"path": "SYSTEM", "file": 0, "fileName": "main.vvs",
//                  "line": 12, "position": 340, "blockDepth": 0,
//                  "loopDepth": 0, "callDepth": 0, "key": 100,
//                  "enableA": 1, "enableB": 1, "waitFrames": 0,
//                  "wakeTime": 0, "system": true}, ...]}
//
// Texts are converted from Shift-JIS to UTF-8; floats that JSON cannot
// hold (NaN, infinities) are written as null. Contexts are listed in tree
// order, depth first. Other subsystems add their own members (the layer
// tree) as `extraMembers`: JSON members without the surrounding braces,
// each starting with ",\n". Threading: the frame thread, after the last
// frame.
#pragma once

#include <string>
#include <string_view>

namespace vv {
struct Engine;
}

namespace vv::script {

std::string StateDumpJson(const Engine& engine, std::string_view extraMembers = {});

// Writes StateDumpJson to `hostPath` (replacing it). False with the reason
// in `error` when the file cannot be written.
bool WriteStateDump(const Engine& engine, const std::string& hostPath, std::string& error,
                    std::string_view extraMembers = {});

// Appends a Shift-JIS text as a JSON string (converted to UTF-8).
void AppendJsonString(std::string& out, std::string_view sjis);

}  // namespace vv::script

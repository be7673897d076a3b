// What a block holds: a variable (whole, or one element) or a layer.
//
// Variable payload, whole variable: type (1 integer, 2 float, 3 text),
// dimension count D (0..8), D sizes, S, then S bytes of data: 8 bytes per
// number element in element order, or for each text element its length L
// and L bytes. Single element: type, 0, then 8 (number) or L + 4 (text),
// then the int64, the double, or L and the text.
//
// Layer payload: 688, P = width * 4 * height, the 688-byte stored layer
// record, then P bytes of pixels (B, G, R, A, rows bottom-up).
//
// All integers are little-endian; everything is read through ByteReader
// and checked before anything is changed, so a damaged payload leaves its
// target as it was. Threading: the thread that runs the frames.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "graphics/layer.h"

namespace vv {
struct Engine;
}

namespace vv::save {

constexpr int32_t kErrTypeMismatch = 102120;
constexpr int32_t kErrLayerIntoVariable = 108050;
constexpr int32_t kErrDataTooLarge = 108070;
constexpr int32_t kErrShapeMismatch = 108080;
constexpr int32_t kErrSizeMismatch = 108090;
constexpr int32_t kErrVariableIntoLayer = 108100;
constexpr int32_t kErrBadLayerBlock = 108110;

// The data part of a stored variable is at most this large.
constexpr int64_t kMaxVariableData = 40'000'000;
constexpr size_t kLayerPayloadHead = 8 + graphics::kStoredLayerBytes;
// No payload is larger than that of an 8192 x 8192 layer.
constexpr uint64_t kMaxPayloadBytes = kLayerPayloadHead + uint64_t{8192} * 8192 * 4;

// The payload of variable `variable`: the whole variable when `whole`,
// else element `element` (an element outside the variable saves the value
// reading it gives: 0, 0.0 or ""). A variable not declared yet saves as
// the value it reads as.
std::vector<uint8_t> VariablePayload(Engine& engine, int32_t variable, int64_t element, bool whole);

// The payload of a layer: its stored record and its pixels.
std::vector<uint8_t> LayerPayload(const graphics::Layer& layer);

// Copies a variable payload into `variable`, from element `element` on
// (`whole`: the payload must hold the whole variable, in its shape).
// Reports and returns -1: 900000 for a damaged payload or a stored type or
// dimension count out of range, 101150 for a system variable, 101140 for a
// variable not declared, 102120 (command `command`'s name and the name of
// the declaration command of the variable's type), 108070, 108080, 108090.
int LoadVariablePayload(Engine& engine, uint8_t command, std::span<const uint8_t> payload, int32_t variable,
                        int64_t element, bool whole);

// Checks a layer payload: the record size 688, a width and height of
// 1..8192 in the stored record, and pixel data of exactly width * 4 *
// height bytes. False (nothing reported) when the payload fails.
bool CheckLayerPayload(std::span<const uint8_t> payload, graphics::StoredLayerHeader& out);

}  // namespace vv::save

#include "save/save_payloads.h"

#include <cstring>

#include "common/bytes.h"
#include "graphics/image.h"
#include "resource/error_reporter.h"
#include "save/save_file.h"
#include "script/script_files.h"
#include "script/variables.h"
#include "shell/engine.h"

namespace vv::save {

namespace {

// The commands that declare each element type, named in error 102120.
constexpr uint8_t kDeclareIntegerCommand = 32;
constexpr uint8_t kDeclareFloatCommand = 16;
constexpr uint8_t kDeclareTextCommand = 68;

uint64_t FloatBits(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

double BitsFloat(uint64_t bits) {
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// Appends the data part (S and the data) of `count` elements from `first`.
void PutData(common::ByteWriter& w, const script::VariableSlot& slot, int64_t first, int64_t count) {
  const size_t from = static_cast<size_t>(first);
  const size_t n = static_cast<size_t>(count);
  if (slot.type == script::kTypeText) {
    size_t bytes = 0;
    for (size_t i = from; i < from + n; ++i) bytes += 4 + slot.texts[i].size();
    w.I32(static_cast<int32_t>(bytes));
    for (size_t i = from; i < from + n; ++i) {
      w.I32(static_cast<int32_t>(slot.texts[i].size()));
      w.Text(slot.texts[i]);
    }
    return;
  }
  w.I32(static_cast<int32_t>(8 * n));
  std::vector<uint8_t> data(8 * n);
  uint8_t* p = data.data();
  if (slot.type == script::kTypeInteger) {
    for (size_t i = 0; i < n; ++i) common::StoreU64(p + 8 * i, static_cast<uint64_t>(slot.integers[from + i]));
  } else {
    for (size_t i = 0; i < n; ++i) common::StoreU64(p + 8 * i, FloatBits(slot.floats[from + i]));
  }
  w.Bytes(data);
}

int Damaged(Engine& engine) { return resource::ReportError(engine, kErrBadSaveData, true); }

uint8_t DeclarationCommandOf(uint8_t type) {
  switch (type) {
    case script::kTypeInteger: return kDeclareIntegerCommand;
    case script::kTypeFloat: return kDeclareFloatCommand;
    default: return kDeclareTextCommand;
  }
}

}  // namespace

std::vector<uint8_t> VariablePayload(Engine& engine, int32_t variable, int64_t element, bool whole) {
  common::ByteWriter w;
  const script::VariableSlot* slot = script::FindSlot(engine, variable);
  const bool declared = slot != nullptr && slot->type != script::kTypeNone && variable >= script::kFirstScriptVariable;
  if (whole && declared) {
    w.I32(slot->type);
    w.I32(slot->dimensionCount);
    for (int d = 0; d < slot->dimensionCount; ++d) w.I32(slot->sizes[static_cast<size_t>(d)]);
    PutData(w, *slot, 0, slot->elementCount);
    return w.Take();
  }
  // One element, through the ordinary reads (system variables produce their
  // value there; an element outside the variable reads as empty).
  uint8_t type = script::VariableTypeOf(engine, variable);
  if (type == script::kTypeNone) type = script::kTypeInteger;
  w.I32(type);
  w.I32(0);
  if (type == script::kTypeText) {
    const std::string_view text = script::ReadText(engine, variable, element);
    w.I32(static_cast<int32_t>(text.size() + 4));
    w.I32(static_cast<int32_t>(text.size()));
    w.Text(text);
  } else if (type == script::kTypeFloat) {
    w.I32(8);
    w.U64(FloatBits(script::ReadFloat(engine, variable, element)));
  } else {
    w.I32(8);
    w.I64(script::ReadInteger(engine, variable, element));
  }
  return w.Take();
}

std::vector<uint8_t> LayerPayload(const graphics::Layer& layer) {
  const size_t pixelBytes =
      static_cast<size_t>(layer.Width()) * 4 * static_cast<size_t>(std::max(layer.Height(), 0));
  std::vector<uint8_t> out(kLayerPayloadHead + pixelBytes);
  common::StoreU32(out.data(), static_cast<uint32_t>(graphics::kStoredLayerBytes));
  common::StoreU32(out.data() + 4, static_cast<uint32_t>(pixelBytes));
  const auto record = graphics::EncodeStoredLayer(layer);
  std::memcpy(out.data() + 8, record.data(), record.size());
  // A layer without pixels yet is black: the buffer stays zero.
  if (layer.image.pixels && pixelBytes > 0) {
    std::memcpy(out.data() + kLayerPayloadHead, layer.image.pixels.get(), pixelBytes);
  }
  return out;
}

bool CheckLayerPayload(std::span<const uint8_t> payload, graphics::StoredLayerHeader& out) {
  common::ByteReader r(payload);
  const int32_t recordBytes = r.I32();
  const int32_t pixelBytes = r.I32();
  const auto record = r.Bytes(graphics::kStoredLayerBytes);
  if (!r.ok() || recordBytes != static_cast<int32_t>(graphics::kStoredLayerBytes) ||
      !graphics::DecodeStoredLayer(record, out)) {
    return false;
  }
  if (out.width < 1 || out.width > graphics::kMaxImageSide || out.height < 1 ||
      out.height > graphics::kMaxImageSide) {
    return false;
  }
  const int64_t expected = int64_t{out.width} * 4 * out.height;
  return pixelBytes == expected && r.remaining() == static_cast<uint64_t>(expected);
}

int LoadVariablePayload(Engine& engine, uint8_t command, std::span<const uint8_t> payload, int32_t variable,
                        int64_t element, bool whole) {
  common::ByteReader r(payload);
  const int32_t type = r.I32();
  const int32_t dimensions = r.I32();
  if (!r.ok()) return Damaged(engine);

  script::VariableSlot* slot = script::FindSlot(engine, variable);
  const uint8_t slotType = slot != nullptr ? slot->type : script::kTypeNone;
  if (type != slotType || variable < script::kFirstScriptVariable) {
    if (type < script::kTypeInteger || type > script::kTypeText) return Damaged(engine);
    // System variables are the engine's; loading never writes them.
    if (variable < script::kFirstScriptVariable) {
      return resource::ReportError(engine, script::kErrReadOnlySystemVariable, true);
    }
    if (slotType == script::kTypeNone) return resource::ReportError(engine, script::kErrWrongVariableType, true);
    return resource::ReportError(
        engine, kErrTypeMismatch, true,
        {script::CommandName(engine, command), script::CommandName(engine, DeclarationCommandOf(slotType))});
  }
  if (dimensions < 0 || dimensions > script::kMaxDimensions) return Damaged(engine);
  std::array<int32_t, script::kMaxDimensions> sizes{};
  for (int d = 0; d < dimensions; ++d) sizes[static_cast<size_t>(d)] = r.I32();
  const int32_t dataBytes = r.I32();
  if (!r.ok() || dataBytes < 0) return Damaged(engine);
  if (dataBytes > kMaxVariableData) return resource::ReportError(engine, kErrDataTooLarge, true);
  if (whole) {
    if (dimensions != slot->dimensionCount) return resource::ReportError(engine, kErrShapeMismatch, true);
    for (int d = 0; d < dimensions; ++d) {
      if (sizes[static_cast<size_t>(d)] != slot->sizes[static_cast<size_t>(d)]) {
        return resource::ReportError(engine, kErrSizeMismatch, true);
      }
    }
  } else if (dimensions != 0) {
    return resource::ReportError(engine, kErrShapeMismatch, true);
  }
  const auto data = r.Bytes(static_cast<size_t>(dataBytes));
  if (!r.ok()) return Damaged(engine);
  // A whole variable brings every element, an element payload one.
  const int64_t count = whole ? slot->elementCount : 1;

  if (type != script::kTypeText) {
    if (static_cast<int64_t>(data.size()) != 8 * count) return Damaged(engine);
    const int64_t first = whole ? 0 : element;
    for (int64_t i = 0; i < count; ++i) {
      const int64_t at = first + i;
      if (at < 0 || at >= slot->elementCount) continue;  // outside the variable: nothing stored
      const uint64_t bits = common::LoadU64(data.data() + 8 * i);
      if (type == script::kTypeInteger) slot->integers[static_cast<size_t>(at)] = static_cast<int64_t>(bits);
      else slot->floats[static_cast<size_t>(at)] = BitsFloat(bits);
    }
    return 0;
  }

  // Texts: checked whole before the first store.
  std::vector<std::string_view> texts;
  common::ByteReader t(data);
  while (t.ok() && t.remaining() > 0) {
    const int32_t length = t.I32();
    if (length < 0) return Damaged(engine);
    texts.push_back(t.Text(static_cast<size_t>(length)));
  }
  if (!t.ok() || static_cast<int64_t>(texts.size()) != count) return Damaged(engine);
  const int64_t first = whole ? 0 : element;
  for (size_t i = 0; i < texts.size(); ++i) {
    // An element outside the variable takes nothing (StoreText says -1).
    script::StoreText(engine, variable, first + static_cast<int64_t>(i), texts[i]);
  }
  return 0;
}

}  // namespace vv::save

// Image loading: from a picture name to the pixels of a layer.
//
// Runs on the thread that runs the frames; decoding blocks it (the frame
// pacing clock is reset afterwards, so the time is not taken as lateness).
#pragma once

#include <string>
#include <string_view>

#include "graphics/image.h"
#include "resource/loader.h"

namespace vv {
struct Engine;
}

namespace vv::graphics {

// The loader's canonical form: ASCII capitals lowered, then "/" turned
// into "\", both stepping over the second byte of two-byte characters.
std::string CanonicalImageName(std::string_view name);

// True when `name` ends (ASCII case ignored) in ".bmp", ".png", ".jpg",
// ".jpeg", ".jpe", ".gif" or ".avi".
bool HasImageExtension(std::string_view name);

// Finds the file of a canonical picture name through the loader's lookup
// (preloads, compiler files, then the folder and the packs in the order
// the engine's mode asks for). A name with a picture extension is looked
// up as it stands; any other name gets each extension of the configured
// image extension order in turn (1 ".bmp", 2 ".png", 3 ".jpg", 4 ".gif",
// 5 ".avi"; other entries skipped) and the first candidate found wins.
// Returns the lookup's result: 1..4 found (`file` located, `found` the
// name), 0 nothing found, -2 a pack archive could not be opened (nothing
// reported).
int FindImageFile(Engine& engine, std::string_view name, resource::LoadedFile& file, std::string& found);

// Loads the picture `name` (as the script gives it) into `image`: the name
// is composed as a path from the root ("." and ".." applied, spaces
// allowed) and brought into canonical form. `commandName` names the
// command for the report of a file that is no picture.
//
// An empty name gives a 1 x 1 opaque black picture. A name found to be
// the file the image already shows, with pixels the drawing command has
// not changed, costs nothing. Otherwise on success: width, height,
// pixels, hasAlpha, fileName, imageKind, and for GIF frame, frameCount
// and the frames; effectTouched is cleared.
//
// Returns 0, or -1 after reporting the failure (halt set): the path
// composition's errors, 100100 not
// found, the loader's codes for a file it cannot read, the decoders'
// codes (image.h), 100210 / 100215 after a failed JPEG / GIF, 100216 for
// movies (not read by this loader), 100220 for Photoshop files, 100030
// for any other type.
int LoadImageIntoLayer(Engine& engine, LayerImage& image, std::string_view name, std::string_view commandName);

}  // namespace vv::graphics

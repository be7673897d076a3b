// The math command: trigonometric, hyperbolic, exponential and logarithmic
// functions, square roots, absolute values, powers, random integers and
// the CRC-32 of a text. The first selector present (in the order below)
// picks the one operation that runs.
//
// Each operation evaluates its raw operands with the entry it needs: sine
// and cosine always with float arithmetic, the other float functions with
// the float entry of the operand's own ExprType (so an integer expression
// is computed with integers first), random integers with the integer
// entry. An absent operand counts as 0. The absolute value keeps the
// operand's arithmetic: an integer expression gives an integer result
// (INT64_MIN stays itself), a float expression a float one.
#include <cmath>

#include "common/checksum.h"
#include "script/command_results.h"
#include "script/evaluator.h"
#include "script/script_random.h"
#include "script/value_commands.h"
#include "script/values.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

enum MathArg : int { kTarget = 0, kX = 1, kY = 2, kText = 3 };

enum Selector : int {
  kSin = 4, kAsin = 5, kSinh = 6, kCos = 7, kAcos = 8, kCosh = 9, kTan = 10, kAtan = 11, kAtan2 = 12,
  kTanh = 13, kSqrt = 14, kAbs = 15, kExp = 16, kLog = 17, kLog10 = 18, kPow = 19, kRandom = 20, kCrc = 21,
};

constexpr int kSelectorOrder[] = {kSin,  kCos,  kTan, kAsin, kAcos, kSinh, kCosh,  kTanh,  kAtan,
                                  kAtan2, kSqrt, kAbs, kExp,  kLog,  kLog10, kPow, kRandom, kCrc};

// One operand: its value and whether its evaluation failed (reported).
struct Operand {
  double real = 0.0;
  int64_t integer = 0;
  bool failed = false;
};

Operand FloatOperand(Engine& engine, int id, bool alwaysFloat) {
  Operand o;
  const CommandArgs& a = engine.script.interp.args;
  if (!a.Has(id)) return o;
  const ArgSlot& slot = a.Get(id);
  if (alwaysFloat) {
    o.real = EvalFloat(engine, RawOperand(slot));
    o.failed = engine.script.eval.failed;
  } else {
    o.real = EvalFloatByType(engine, static_cast<uint8_t>(slot.exprType), RawOperand(slot));
    o.failed = EvaluationFailed(engine, slot);
  }
  return o;
}

Operand IntegerOperand(Engine& engine, int id) {
  Operand o;
  const CommandArgs& a = engine.script.interp.args;
  if (!a.Has(id)) return o;
  const ArgSlot& slot = a.Get(id);
  o.integer = EvalIntegerByType(engine, static_cast<uint8_t>(slot.exprType), RawOperand(slot));
  o.failed = EvaluationFailed(engine, slot);
  return o;
}

double FloatFunction(int selector, double x) {
  switch (selector) {
    case kSin: return std::sin(x);
    case kCos: return std::cos(x);
    case kTan: return std::tan(x);
    case kAsin: return std::asin(x);
    case kAcos: return std::acos(x);
    case kSinh: return std::sinh(x);
    case kCosh: return std::cosh(x);
    case kTanh: return std::tanh(x);
    case kAtan: return std::atan(x);
    case kSqrt: return std::sqrt(x);
    case kExp: return std::exp(x);
    case kLog: return std::log(x);
    default: return std::log10(x);
  }
}

int8_t Result(int stored) { return static_cast<int8_t>(stored); }

}  // namespace

int8_t MathCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  const ArgSlot& out = a.Get(kTarget);
  int selector = 0;
  for (const int s : kSelectorOrder) {
    if (a.Has(s)) {
      selector = s;
      break;
    }
  }
  switch (selector) {
    case 0: return 0;
    case kAtan2:
    case kPow: {
      const Operand x = FloatOperand(engine, kX, false);
      if (x.failed) return -1;
      const Operand y = FloatOperand(engine, kY, false);
      if (y.failed) return -1;
      return Result(StoreFloatTo(engine, out, selector == kAtan2 ? std::atan2(x.real, y.real) : std::pow(x.real, y.real)));
    }
    case kAbs: {
      const uint8_t type = static_cast<uint8_t>(a.Get(kX).exprType);
      if (a.Has(kX) && (type == 2 || type == 4)) {
        const Operand x = FloatOperand(engine, kX, false);
        return x.failed ? -1 : Result(StoreFloatTo(engine, out, std::fabs(x.real)));
      }
      const Operand x = IntegerOperand(engine, kX);
      if (x.failed) return -1;
      return Result(StoreIntegerTo(engine, out, x.integer < 0 ? WrapNeg(x.integer) : x.integer));
    }
    case kRandom: {
      const Operand x = IntegerOperand(engine, kX);
      if (x.failed) return -1;
      const Operand y = IntegerOperand(engine, kY);
      if (y.failed) return -1;
      return Result(StoreIntegerTo(engine, out, RandomBetween(x.integer, y.integer, NextRandom(engine))));
    }
    case kCrc:
      return Result(StoreIntegerTo(engine, out, static_cast<int64_t>(common::Crc32(a.Get(kText).Text()))));
    default: {
      const Operand x = FloatOperand(engine, kX, selector == kSin || selector == kCos);
      if (x.failed) return -1;
      return Result(StoreFloatTo(engine, out, FloatFunction(selector, x.real)));
    }
  }
}

}  // namespace vv::script

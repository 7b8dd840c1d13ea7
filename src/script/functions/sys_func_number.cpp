// Number, random and date functions.
#include <cmath>
#include <limits>

#include "script/functions/script_random.h"
#include "script/functions/sys_func_args.h"
#include "script/values/date_time.h"
#include "script/values/param_text.h"

namespace orba {

namespace {

// A float result that overflowed or is no number is an arithmetic error.
long double Checked(long double v) {
  if (std::isnan(v)) throw EInvalidOpError();
  if (std::isinf(v)) throw EOverflowError();
  return v;
}

// Sine and cosine: 0 for arguments the unit cannot reduce (2^63 or more).
long double Trig(long double x, bool cosine) {
  if (std::fabs(x) >= 9223372036854775808.0L) return 0.0L;
  return Checked(cosine ? std::cos(x) : std::sin(x));
}

// The angle of the point (X, Y) from the square root of 1 - X².
long double ArcFromUnit(long double x, bool cosine) {
  const long double rest = 1.0L - x * x;
  if (!(rest >= 0.0L)) throw EInvalidOpError();
  const long double root = std::sqrt(rest);
  return cosine ? std::atan2(root, x) : std::atan2(x, root);
}

}  // namespace

void CallNumberFunc(TCustomParam& result, uint8_t id, TFuncArgs args) {
  const TFuncArgReader a(args);
  switch (id) {
    case FN_Not: result.SetAsFlag(!a.Flag(0)); break;
    case FN_Random: result.SetAsInt(ScriptRandom(a.Int(0))); break;
    case FN_Int: result.SetAsInt(FloatToInt(a.Float(0))); break;
    case FN_Float: result.SetAsFloat(a.Float(0)); break;
    case FN_Sin: result.SetAsFloat(Trig(a.Float(0), false)); break;
    case FN_Cos: result.SetAsFloat(Trig(a.Float(0), true)); break;
    case FN_Tan: result.SetAsFloat(Checked(std::tan(a.Float(0)))); break;
    case FN_ArcSin: result.SetAsFloat(ArcFromUnit(a.Float(0), false)); break;
    case FN_ArcCos: result.SetAsFloat(ArcFromUnit(a.Float(0), true)); break;
    case FN_ArcTan: result.SetAsFloat(Checked(std::atan(a.Float(0)))); break;
    case FN_ArcTan2: result.SetAsFloat(Checked(std::atan2(a.Float(0), a.Float(1)))); break;
    case FN_Hypot: {
      const long double x = a.Float(0), y = a.Float(1);
      result.SetAsFloat(Checked(std::sqrt(x * x + y * y)));
      break;
    }
    case FN_Abs: {
      const int32_t x = a.Int(0);
      // The most negative integer has no positive counterpart and stays.
      result.SetAsInt(x < 0 && x != std::numeric_limits<int32_t>::min() ? -x : x);
      break;
    }
    case FN_Fabs: result.SetAsFloat(std::fabs(a.Float(0))); break;
    case FN_Min: result.SetAsInt(std::min(a.Int(0), a.Int(1))); break;
    case FN_Max: result.SetAsInt(std::max(a.Int(0), a.Int(1))); break;
    case FN_Fmin: {
      const long double x = a.Float(0), y = a.Float(1);
      result.SetAsFloat(x < y ? x : y);
      break;
    }
    case FN_Fmax: {
      const long double x = a.Float(0), y = a.Float(1);
      result.SetAsFloat(x > y ? x : y);
      break;
    }
    case FN_EncodeDate: result.SetAsFloat(EncodeDate(a.Int(0), a.Int(1), a.Int(2))); break;
    case FN_EncodeTime: result.SetAsFloat(EncodeTime(a.Int(0), a.Int(1), a.Int(2))); break;
    case FN_DecodeDate: {
      const TDecodedDateTime d = DecodeDateTimeValue(a.Float(0));
      a.At(1).SetAsInt(d.Year);
      a.At(2).SetAsInt(d.Month);
      a.At(3).SetAsInt(d.Day);
      break;
    }
    case FN_DecodeTime: {
      const TDecodedDateTime d = DecodeDateTimeValue(a.Float(0));
      a.At(1).SetAsInt(d.Hour);
      a.At(2).SetAsInt(d.Min);
      a.At(3).SetAsInt(d.Sec);
      break;
    }
    case FN_GetYear: result.SetAsInt(DecodeDateTimeValue(a.Float(0)).Year); break;
    case FN_GetMonth: result.SetAsInt(DecodeDateTimeValue(a.Float(0)).Month); break;
    case FN_GetDay: result.SetAsInt(DecodeDateTimeValue(a.Float(0)).Day); break;
    case FN_GetHour: result.SetAsInt(DecodeDateTimeValue(a.Float(0)).Hour); break;
    case FN_GetMin: result.SetAsInt(DecodeDateTimeValue(a.Float(0)).Min); break;
    case FN_GetSec: result.SetAsInt(DecodeDateTimeValue(a.Float(0)).Sec); break;
    case FN_GetWeek: result.SetAsInt(DecodeDateTimeValue(a.Float(0)).Week); break;
    case FN_GetWeekStr: result.SetAsStr(DayNameEn(DecodeDateTimeValue(a.Float(0)).Week)); break;
    case FN_GetWeekJStr: result.SetAsStr(DayNameJa(DecodeDateTimeValue(a.Float(0)).Week)); break;
    default: break;
  }
}

}  // namespace orba

// The formatter: %[0][width][.precision]conversion with c d u x s f and %%.
#include "rt/rt.h"

namespace {

// Every produced character advances the position; it is stored only while
// the position is below cap - 1.
struct Out {
  char* buf;
  int cap;
  int pos;
  void put(char c) {
    if (pos < cap - 1) buf[pos] = c;
    if (pos < 0x7FFFFFFF) pos++;
  }
};

// Unsigned magnitude in base 10 or 16, padded to width; the sign counts
// toward the width. Zero fill puts "-" first, space fill puts it last.
void put_uint(Out* o, uint64_t mag, unsigned base, int width, char fill, int negative) {
  char digits[24];
  int n = 0;
  do {
    unsigned d = (unsigned)(mag % base);
    digits[n++] = (char)(d < 10 ? '0' + d : 'a' + d - 10);
    mag /= base;
  } while (mag);
  if (negative) width--;
  if (negative && fill == '0') o->put('-');
  for (int i = n; i < width; i++) o->put(fill);
  if (negative && fill != '0') o->put('-');
  while (n) o->put(digits[--n]);
}

// Truncation toward zero that is defined for every double: NaN and values
// outside the 64-bit range give the hardware's "integer indefinite".
int64_t trunc_i64(double v) {
  if (!(v > -9223372036854775808.0 && v < 9223372036854775808.0)) return INT64_MIN;
  return (int64_t)v;
}

// Low 32 bits of a non-negative integral double of any magnitude (the
// integer part is printed modulo 2^32).
uint32_t low32(double i) {
  double q = i / 4294967296.0;  // exact: a power-of-two scale
  int64_t qi = trunc_i64(q);
  double whole = (qi == INT64_MIN) ? q : (double)qi;  // beyond 2^63 every double is integral
  double r = i - whole * 4294967296.0;
  if (!(r >= 0.0 && r < 4294967296.0)) return 0;
  return (uint32_t)r;
}

void put_str(Out* o, const char* s, int width) {
  int n = str_len(s);
  for (int i = n; i < width; i++) o->put(' ');
  while (*s) o->put(*s++);
}

void put_fixed(Out* o, double value, int width, int prec, char fill) {
  if (value != value) {
    put_str(o, "nan", width);
    return;
  }
  int negative = value < 0;
  double a = negative ? -value : value;
  if (a > 1.7976931348623157e308) {
    put_str(o, negative ? "-inf" : "inf", width);
    return;
  }
  if (prec == 0) {
    double n = a + 0.5;
    int64_t t = trunc_i64(n);
    put_uint(o, t == INT64_MIN ? low32(n) : (uint32_t)(uint64_t)t, 10, width, fill, negative);
    return;
  }
  if (prec > 18) prec = 18;  // the fraction is printed as one 64-bit number
  double s = 1.0;
  for (int k = 0; k < prec; k++) s *= 10.0;
  double y = a * s + 0.5;
  int64_t it = trunc_i64(y / s);
  double i = it == INT64_MIN ? y / s : (double)it;
  int64_t f = trunc_i64(y - s * i);
  if (f < 0) f = 0;  // only reachable beyond 2^63, where the fraction is meaningless
  put_uint(o, low32(i), 10, width - prec - 1, fill, negative);
  o->put('.');
  put_uint(o, (uint64_t)f, 10, prec, '0', 0);
}

int read_number(const char** p) {
  int v = 0;
  while (**p >= '0' && **p <= '9') {
    if (v < 100000) v = v * 10 + (**p - '0');  // saturates: widths are small by design
    (*p)++;
  }
  return v;
}

}  // namespace

int vfmt(char* buf, int cap, const char* format, va_list args) {
  Out o = {buf, cap, 0};
  const char* p = format;
  while (*p) {
    if (*p != '%') {
      o.put(*p++);
      continue;
    }
    p++;
    char fill = ' ';
    if (*p == '0') {
      fill = '0';
      p++;
    }
    int width = read_number(&p);
    int prec = -1;
    if (*p == '.') {
      p++;
      prec = read_number(&p);
    }
    char conv = *p;
    if (!conv) break;  // a lone trailing "%" ends the output
    p++;
    switch (conv) {
      case '%':
        o.put('%');
        break;
      case 'c':
        o.put((char)va_arg(args, int));
        break;
      case 'd': {
        int32_t v = va_arg(args, int32_t);
        uint32_t mag = v < 0 ? 0u - (uint32_t)v : (uint32_t)v;
        put_uint(&o, mag, 10, width, fill, v < 0);
        break;
      }
      case 'u':
        put_uint(&o, va_arg(args, uint32_t), 10, width, fill, 0);
        break;
      case 'x':
        put_uint(&o, va_arg(args, uint32_t), 16, width, fill, 0);
        break;
      case 's': {
        const char* s = va_arg(args, const char*);
        put_str(&o, s ? s : "(null)", width);
        break;
      }
      case 'f':
        put_fixed(&o, va_arg(args, double), width, prec < 0 ? 3 : prec, fill);
        break;
      default:
        o.put(conv);  // not a directive: the character stands for itself
        break;
    }
  }
  if (cap >= 1) buf[o.pos < cap - 1 ? o.pos : cap - 1] = 0;
  return o.pos;
}

int fmt(char* buf, int cap, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = vfmt(buf, cap, format, args);
  va_end(args);
  return n;
}

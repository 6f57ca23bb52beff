// Every exported function with one sound set of arguments, for the checks
// that run the whole interface: a fault at every VISA call, bad input in
// every parameter, failed allocations, and the reply fuzzer. Each row can
// replace one argument, so a sweep varies one parameter at a time.
#ifndef KAVREL_TESTS_SUPPORT_API_TABLE_H
#define KAVREL_TESTS_SUPPORT_API_TABLE_H

#include <cstddef>
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "driver/kavrel.h"

namespace kavrel::test {

// What a parameter is, from its C type.
enum class ArgKind { integer, real, boolean, text, pointer };

// A value put in place of one argument; each field serves its own kind.
struct Replacement {
  std::size_t position = 0;  // as the parameter codes count: the session is 1, 0 replaces nothing
  double number = 0;         // integer and real parameters
  ViBoolean flag = 0;
  const char* text = nullptr;  // text and pointer parameters (nullptr: VI_NULL)
};

struct ApiFunction {
  const char* name;
  std::vector<ArgKind> kinds;  // parameters 2, 3, ...
  // Runs before the counted call (a raw read needs a reply to be pending).
  void (*prepare)(ViSession);
  std::function<ViStatus(ViSession, const Replacement&)> call;
};

// Every exported function of driver/kavrel.h, in the header's order. Output
// arguments point at static buffers large enough for any sound reply.
const std::vector<ApiFunction>& apiFunctions();

// Host files the transfer rows read and write (the loaded one exists).
void prepareApiFiles();
void removeApiFiles();
// Closes the session the kavrel_init row opened, if it did.
void closeApiSessions();

// A function as driver/kavrel.h declares it: its name and the kinds of its
// parameters after the session (all of them for kavrel_init).
struct DeclaredFunction {
  std::string name;
  std::vector<ArgKind> kinds;
  std::vector<std::string> parameters;  // the names, in the same order
};
std::vector<DeclaredFunction> declaredFunctions(const std::string& headerPath);

namespace detail {

template <class T>
constexpr ArgKind kindOf() {
  if constexpr (std::is_same_v<T, ViBoolean>) return ArgKind::boolean;
  else if constexpr (std::is_floating_point_v<T>) return ArgKind::real;
  else if constexpr (std::is_integral_v<T>) return ArgKind::integer;
  else if constexpr (std::is_same_v<T, ViString> || std::is_same_v<T, ViConstString>) return ArgKind::text;
  else return ArgKind::pointer;
}

template <class T>
T replaced(T sound, std::size_t position, std::size_t index, const Replacement& r) {
  if (r.position != index + 2) return sound;
  if constexpr (std::is_same_v<T, ViBoolean>) return r.flag;
  else if constexpr (std::is_floating_point_v<T>) return static_cast<T>(r.number);
  else if constexpr (std::is_integral_v<T>) return static_cast<T>(static_cast<long long>(r.number));
  else return reinterpret_cast<T>(const_cast<char*>(r.text));
  (void)position;
}

template <class... A, std::size_t... I>
ViStatus invoke(ViStatus (*fn)(ViSession, A...), ViSession vi, const std::tuple<A...>& sound, const Replacement& r,
                std::index_sequence<I...>) {
  return fn(vi, replaced(std::get<I>(sound), r.position, I, r)...);
}

}  // namespace detail

template <class... A>
ApiFunction apiFunction(const char* name, ViStatus (*fn)(ViSession, A...), std::type_identity_t<A>... sound) {
  std::tuple<A...> args(sound...);
  return {name, {detail::kindOf<A>()...}, nullptr, [fn, args](ViSession vi, const Replacement& r) {
            return detail::invoke(fn, vi, args, r, std::index_sequence_for<A...>{});
          }};
}

}  // namespace kavrel::test

#endif

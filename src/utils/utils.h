// Plumbing shared by every component: the failure type that ends a run, and the
// few sequence utilities whose failures are part of the program's output.
#pragma once

#include <charconv>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace analyser {

// A handle on object, which must outlive every copy of it, that counts no
// references. Values that every thread copies all the time (the true and false
// formulas) would otherwise have all threads write to the one counter; the
// values counted without atomic operations have their own (see Handle::unowned).
template <typename T>
std::shared_ptr<T> unowned(T& object) {
  return std::shared_ptr<T>(std::shared_ptr<T>(), &object);
}

// A failure condition that nothing handles ends the run: the driver writes the
// failure's output (a line some conditions leave on standard output, such as
// "select!\n"), flushes standard output and writes "Fatal error: exception
// <description>" to standard error. Components derive their named conditions
// from it and only throw; nothing is written before the run ends.
class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& description, std::string output = "")
      : std::runtime_error(description), output_(std::move(output)) {}
  const char* description() const noexcept { return what(); }
  const std::string& output() const noexcept { return output_; }

 private:
  std::string output_;
};

// The failure an exception stands for: a Failure itself; "Out_of_memory" for
// memory exhausted or a size beyond what memory can hold; otherwise its what().
Failure failure_from(std::exception_ptr e);

// The cores this process may run on (its affinity mask), at least 1.
int usable_cores();

// "Utils.UtilException": a sequence utility was given a sequence it cannot
// handle; output names the utility ("select!\n").
class UtilException : public Failure {
 public:
  explicit UtilException(std::string output = "")
      : Failure("Utils.UtilException", std::move(output)) {}
};

// "Thestack.StackException": pop or top of an empty stack.
class StackException : public Failure {
 public:
  StackException() : Failure("Thestack.StackException") {}
};

// A syntax error of an input file: Failure("<text>"), the text kept verbatim.
Failure syntax_failure(const std::string& text);

// A file that cannot be read: Sys_error("<text>").
Failure sys_error(const std::string& text);

// Nesting deeper than the parsers accept ends the run as Stack_overflow.
Failure stack_overflow();

// The deepest nesting of terms, processes and formulas the parsers accept.
inline constexpr int kMaxNesting = 2000;

namespace utils {

// Appends n in decimal, as std::to_string writes it, without a temporary string:
// reports write millions of numbers.
inline void append_decimal(std::string& s, std::int64_t n) {
  char digits[20];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  s.append(digits, end);
}

// Element n (from 0); throws UtilException("select!\n") when out of range.
template <typename T>
const T& select(const std::vector<T>& l, std::int64_t n) {
  if (n < 0 || n >= static_cast<std::int64_t>(l.size())) {
    throw UtilException("select!\n");
  }
  return l[static_cast<std::size_t>(n)];
}

// First element; throws UtilException("head!\n") for an empty sequence.
template <typename T>
const T& head(const std::vector<T>& l) {
  if (l.empty()) {
    throw UtilException("head!\n");
  }
  return l.front();
}

// f(x1, f(x2, ... f(xn-1, xn))), applied from the last element to the first;
// UtilException("fold2_1!\n") for one element and ("fold2_2!\n") for none.
template <typename T, typename F>
T fold2(const std::vector<T>& l, F f) {
  if (l.empty()) {
    throw UtilException("fold2_2!\n");
  }
  if (l.size() == 1) {
    throw UtilException("fold2_1!\n");
  }
  T acc = l.back();
  for (std::size_t i = l.size() - 1; i-- > 0;) acc = f(l[i], acc);
  return acc;
}

// Gathers the elements related by r: with x the first element, the y with r(x, y)
// are grouped recursively, then the others; a side that would be empty leaves the
// sequence as it is. Not a sort.
template <typename T, typename R>
std::vector<T> group(const std::vector<T>& l, R r) {
  if (l.empty()) return l;
  std::vector<T> related, others;
  for (const T& y : l) (r(l.front(), y) ? related : others).push_back(y);
  if (related.empty() || others.empty()) return l;
  std::vector<T> result = group(related, r);
  std::vector<T> rest = group(others, r);
  result.insert(result.end(), rest.begin(), rest.end());
  return result;
}

// Drops a chain of shared links (a state's ancestors, a list sharing its tail)
// from first on, one link at a time for as long as this holder is the last:
// leaving it to each link's destructor to free the next would recurse once per
// link. next(link) is the link's own pointer to the next one.
template <typename Ptr, typename Next>
void release_chain(Ptr first, Next next) {
  while (first && first.use_count() == 1) first = std::move(next(*first));
}

// Keeps the first occurrence of every element, by ==.
template <typename T>
std::vector<T> remove_duplicates(const std::vector<T>& l) {
  std::vector<T> result;
  for (const T& x : l) {
    bool seen = false;
    for (const T& y : result) {
      if (y == x) {
        seen = true;
        break;
      }
    }
    if (!seen) result.push_back(x);
  }
  return result;
}

}  // namespace utils

}  // namespace analyser

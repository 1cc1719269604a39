#include "principal/principal.h"

#include <algorithm>

namespace analyser {

namespace {

using Scope = std::pair<std::string, std::int64_t>;

Principal make(std::string name, std::int64_t instance, std::vector<VarId> params,
               Process process) {
  return Principal(
      Principal::Data{std::move(name), instance, std::move(params), std::move(process)});
}

// A template term made specific to one instance: atoms take the instance as
// index, variables the owner and instance.
Message instantiate_message(const Scope& scope, const Message& t) {
  if (t.is_atom()) return atom(t.tag(), t.name(), scope.second);
  switch (t.tag()) {
    case Tag::Var:
      return var(scoped_var_id(scope, t.var()));
    case Tag::BindVar:
      return bind_var(scoped_var_id(scope, t.var()));
    case Tag::Enc:
      return enc(instantiate_message(scope, t.body()), instantiate_message(scope, t.key()));
    case Tag::Pair:
      return pair(instantiate_message(scope, t.first()), instantiate_message(scope, t.second()));
    case Tag::PubOf:
    case Tag::PrivOf: {
      if (!t.argument().is(Tag::Var)) return t;
      Message v = var(scoped_var_id(scope, t.argument().var()));
      return t.is(Tag::PubOf) ? pub_of(v) : priv_of(v);
    }
    default:  // generated values, tricks and NoMessage hold nothing to instantiate
      return t;
  }
}

// Whether the parameter v is still unbound under a. Most parameters have no
// binding at all; only those do we substitute, to keep the exact meaning of
// "apply leaves Var v as it is".
bool still_unbound(const Assignment& a, const VarId& v) {
  bool mentioned = std::any_of(a.bindings().begin(), a.bindings().end(), [&v](const Binding& b) {
    return b.first.is(Tag::Var) && b.first.var() == v;
  });
  if (!mentioned) return true;
  Message x = var(v);
  return apply(a, x) == x;
}

// The parameters of p that a leaves unbound, in order.
std::vector<VarId> unbound_params(const Assignment& a, const Principal& p) {
  std::vector<VarId> params;
  params.reserve(p.params().size());
  for (const VarId& v : p.params()) {
    if (still_unbound(a, v)) params.push_back(v);
  }
  return params;
}

// The kind the uses of v in p demand: along a sequence the first constraining
// prefix decides; the two sides of a choice or parallel meet, left first.
GenKind demanded_kind(const Process& p, const VarId& v) {
  Process q = p;
  while (q.tag() == ProcessTag::Input || q.tag() == ProcessTag::Output) {
    GenKind k = required_kind(q.term(), v);
    if (k != GenKind::Gen) return k;
    q = q.next();
  }
  if (q.is_nil()) return GenKind::Gen;
  return kind_meet(demanded_kind(q.left(), v), demanded_kind(q.right(), v));
}

}  // namespace

Principal::Principal() {
  static const CountedValue<Data> none(Data{"", -1, {}, Process()});
  static const Handle<const CountedValue<Data>> placeholder =
      Handle<const CountedValue<Data>>::unowned(none);
  data_ = placeholder;
}

bool operator==(const Principal& a, const Principal& b) {
  return a.same(b) || (a.instance() == b.instance() && a.name() == b.name() &&
                       a.params() == b.params() && a.process() == b.process());
}

Principal private_copy(const Principal& p, TermCopier& copier) {
  return make(p.name(), p.instance(), p.params(), private_copy(p.process(), copier));
}

Principal make_principal(const std::string& name, std::int64_t instance,
                         const std::vector<VarId>& params, const Process& process) {
  const Scope scope{name, instance};
  std::vector<VarId> scoped;
  scoped.reserve(params.size());
  for (const VarId& v : params) scoped.push_back(scoped_var_id(scope, v));
  Process instantiated =
      map_terms([&scope](const Message& t) { return instantiate_message(scope, t); }, process);
  return make(name, instance, std::move(scoped), std::move(instantiated));
}

Principal apply_to_principal(const Assignment& a, const Principal& p) {
  if (a.is_empty()) return p;
  Process process = apply_to_process(a, p.process());
  std::vector<VarId> params = unbound_params(a, p);
  if (process.same(p.process()) && params.size() == p.params().size()) return p;
  return make(p.name(), p.instance(), std::move(params), std::move(process));
}

bool is_finished(const Principal& p) {
  return p.process().is_nil() && p.params().empty();
}

std::pair<std::string, std::int64_t> principal_identity(const Principal& p) {
  return {p.name(), p.instance()};
}

bool principal_well_formed(const Principal& p) {
  return process_well_formed(p.process());
}

std::int64_t principal_max_actions(const Principal& p) {
  return max_actions(p.process());
}

GenKind param_kind(const Principal& p, const VarId& v) {
  if (std::find(p.params().begin(), p.params().end(), v) == p.params().end()) return GenKind::Gen;
  return demanded_kind(p.process(), v);
}

std::string principal_to_string(const Principal& p, const Assignment& a) {
  std::string s = p.name();
  s += '_';
  utils::append_decimal(s, p.instance());
  s += ": (";
  s += var_ids_to_string(unbound_params(a, p));
  s += ") [";
  append_process(s, p.process(), a);
  s += ']';
  return s;
}

void print_principal(std::ostream& os, const Principal& p, const Assignment& a) {
  os << principal_to_string(p, a);
}

PrincipalPool make_pool(std::vector<Principal> templates, std::int64_t max_instance) {
  return PrincipalPool{std::move(templates), max_instance};
}

Principal get_principal(const PrincipalPool& pool, std::int64_t i, std::int64_t n) {
  if (n > pool.max_instance) throw NoMorePrinc();
  const Principal* chosen = nullptr;
  try {
    chosen = &utils::select(pool.templates, i);
  } catch (const UtilException& e) {
    throw NoMorePrinc(e.output());
  }
  return make_principal(chosen->name(), n, chosen->params(), chosen->process());
}

}  // namespace analyser

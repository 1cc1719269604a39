// Principals (running instances of protocol roles) and the pool of role templates
// from which sessions draw instances.
//
// A Principal is an immutable, shared value: role name, instance number (0 for a
// template), the parameters not yet bound and the remaining process.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "assignment/assignment.h"
#include "principal/process.h"
#include "utils/utils.h"

namespace analyser {

// "Princpool.NoMorePrinc": no such template, or an instance beyond the limit.
class NoMorePrinc : public Failure {
 public:
  explicit NoMorePrinc(std::string output = "")
      : Failure("Princpool.NoMorePrinc", std::move(output)) {}
};

class Principal {
 public:
  struct Data {
    std::string name;
    std::int64_t instance = 0;
    std::vector<VarId> params;
    Process process;
    // The tag of process, kept beside it: the step function reads it for every
    // principal of every state, and most need no more.
    ProcessTag head = process.tag();
  };

  Principal();  // the placeholder: empty name, instance -1, no parameters, Nil
  explicit Principal(Data data) : data_(make_handle<const CountedValue<Data>>(std::move(data))) {}

  const std::string& name() const { return data_->value.name; }
  std::int64_t instance() const { return data_->value.instance; }
  const std::vector<VarId>& params() const { return data_->value.params; }
  const Process& process() const { return data_->value.process; }
  ProcessTag head() const { return data_->value.head; }

  bool same(const Principal& other) const { return data_ == other.data_; }
  friend bool operator==(const Principal& a, const Principal& b);

 private:
  // Counted without atomic operations, as terms are (see Handle): a thread
  // hands principals to another only as private copies.
  Handle<const CountedValue<Data>> data_;  // never null
};

// The record with the parameters and every term of the process bound to the
// instance (name, instance): names, keys and nonces take the instance as index,
// variables the owner and instance.
Principal make_principal(const std::string& name, std::int64_t instance,
                         const std::vector<VarId>& params, const Process& process);
// p with its process's terms copied by copier (see TermCopier).
Principal private_copy(const Principal& p, TermCopier& copier);
// Same identity; the process with a applied; only the parameters still unbound.
// Returns p itself when nothing changes.
Principal apply_to_principal(const Assignment& a, const Principal& p);
bool is_finished(const Principal& p);  // Nil process and no parameter left
std::pair<std::string, std::int64_t> principal_identity(const Principal& p);
bool principal_well_formed(const Principal& p);
std::int64_t principal_max_actions(const Principal& p);
// gen when v is not a parameter; otherwise the kind its uses in the process demand.
GenKind param_kind(const Principal& p, const VarId& v);
// "NAME_i: (params) [process]" of apply_to_principal(a, p).
void print_principal(std::ostream& os, const Principal& p, const Assignment& a);
std::string principal_to_string(const Principal& p, const Assignment& a);

// The role templates, in the order given (the driver gives reverse file order).
struct PrincipalPool {
  std::vector<Principal> templates;
  std::int64_t max_instance = 0;

  std::int64_t size() const { return static_cast<std::int64_t>(templates.size()); }
};

PrincipalPool make_pool(std::vector<Principal> templates, std::int64_t max_instance);
// Template i (from 0) instantiated as instance n. NoMorePrinc when n exceeds the
// limit, or (with the output "select!\n") when there is no template i.
Principal get_principal(const PrincipalPool& pool, std::int64_t i, std::int64_t n);

}  // namespace analyser

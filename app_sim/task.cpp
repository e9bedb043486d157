#include "app_sim/task.h"

#include <array>
#include <utility>

namespace mivet::sim {
namespace {

constexpr std::array<std::pair<Scope, std::string_view>, 5> scopeNames{{
    {Scope::today, "today"},
    {Scope::overdue, "overdue"},
    {Scope::stale, "stale"},
    {Scope::completed, "completed"},
    {Scope::all, "all"},
}};

}  // namespace

Bucket bucketOf(const Task& task, Day today) {
  if (task.completed) return Bucket::completed;
  if (!task.due) return Bucket::today;
  Day day = dueDay(*task.due);
  if (day < today) return Bucket::overdue;
  if (day == today) return Bucket::today;
  return Bucket::upcoming;
}

bool isStale(const Task& task, Instant now) {
  return !task.completed && now - task.updatedAt >= staleAfter;
}

bool inScope(const Task& task, Scope scope, Instant now) {
  switch (scope) {
    case Scope::today:
      return bucketOf(task, localDayOf(now)) == Bucket::today;
    case Scope::overdue:
      return bucketOf(task, localDayOf(now)) == Bucket::overdue;
    case Scope::stale:
      return isStale(task, now);
    case Scope::completed:
      return task.completed;
    case Scope::all:
      return true;
  }
  return false;
}

std::string_view bucketName(Bucket bucket) {
  switch (bucket) {
    case Bucket::today:
      return "today";
    case Bucket::overdue:
      return "overdue";
    case Bucket::upcoming:
      return "upcoming";
    case Bucket::completed:
      return "completed";
  }
  return "today";
}

std::optional<Scope> scopeNamed(std::string_view name) {
  for (const auto& [scope, text] : scopeNames) {
    if (text == name) return scope;
  }
  return std::nullopt;
}

std::string_view scopeName(Scope scope) {
  for (const auto& [candidate, text] : scopeNames) {
    if (candidate == scope) return text;
  }
  return "all";
}

}  // namespace mivet::sim

// A component's group of shared variables: the one way components create them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "share/sharevarbase.h"

class TShareVarPoly {
public:
    TShareVarPoly() = default;
    ~TShareVarPoly();
    TShareVarPoly(const TShareVarPoly&) = delete;
    TShareVarPoly& operator=(const TShareVarPoly&) = delete;

    // TypeName is "Bool", "Int", "Float" or "Double" (case-sensitive); anything else returns null.
    TShareVarBase* AddItem(const std::string& SecName, const std::string& VarName,
                           const std::string& TypeName, int Count,
                           TShareVarBase::TVarEvent OnChange, TShareVarBase::TVarEvent OnPoll,
                           bool Saveable);

    TShareVarBase* GetVar(int index) const;
    int GetCount() const { return static_cast<int>(FItems.size()); }

private:
    std::vector<std::unique_ptr<TShareVarBase>> FItems;
};

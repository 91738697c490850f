#include "share/sharevarpoly.h"

#include "share/sharevarbool.h"
#include "share/sharevardouble.h"
#include "share/sharevarfloat.h"
#include "share/sharevarint.h"

TShareVarPoly::~TShareVarPoly() {
    // Later variables first, so the manager's list empties from its end.
    while (!FItems.empty())
        FItems.pop_back();
}

TShareVarBase* TShareVarPoly::AddItem(const std::string& SecName, const std::string& VarName,
                                      const std::string& TypeName, int Count,
                                      TShareVarBase::TVarEvent OnChange,
                                      TShareVarBase::TVarEvent OnPoll, bool Saveable) {
    std::unique_ptr<TShareVarBase> v;
    if (TypeName == "Bool")
        v = std::make_unique<TShareVarBool>();
    else if (TypeName == "Int")
        v = std::make_unique<TShareVarInt>();
    else if (TypeName == "Double")
        v = std::make_unique<TShareVarDouble>();
    else if (TypeName == "Float")
        v = std::make_unique<TShareVarFloat>();
    else
        return nullptr;
    v->SetSecName(SecName);
    v->SetVarName(VarName);
    v->SetVarCount(Count);
    v->OnChange = std::move(OnChange);
    v->OnPoll = std::move(OnPoll);
    v->SetSaveable(Saveable);
    FItems.push_back(std::move(v));
    return FItems.back().get();
}

TShareVarBase* TShareVarPoly::GetVar(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return FItems[static_cast<size_t>(index)].get();
}

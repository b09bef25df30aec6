#pragma once
// Ownership root of the components: an owner outlives what it owns.

class TComponent {
public:
    explicit TComponent(TComponent* AOwner = nullptr) : Owner(AOwner) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* GetOwner() const { return Owner; }

private:
    TComponent* Owner;
};

// Keeps a layer library valid while it has no units of its own.

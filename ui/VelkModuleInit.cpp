// The module's load-time initialiser.

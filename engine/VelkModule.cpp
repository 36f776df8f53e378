// The module's own translation unit. The engine and (with the user interface) the windows are
// linked in as object libraries; the user interface brings the load-time initialiser.

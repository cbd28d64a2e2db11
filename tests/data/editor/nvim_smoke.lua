-- Drives a headless Neovim against `vorn lsp`: opens the document, waits
-- for its diagnostics, jumps from an alias to its anchor, renames the
-- anchor, and writes what it saw as JSON for the test to check.
-- $VORN_LSP_CMD is the server's command, its words separated by tabs.
local out = vim.env.VORN_NVIM_OUT
local seen = {}

local function run()
  -- The README's filetype detection and client set-up.
  vim.cmd([[autocmd BufRead,BufNewFile *.vorn setfiletype vorn]])
  vim.api.nvim_create_autocmd("FileType", {
    pattern = "vorn",
    callback = function(args)
      local id = vim.lsp.start_client({
        name = "vorn",
        cmd = vim.split(vim.env.VORN_LSP_CMD, "\t"),
        root_dir = vim.fn.getcwd(),
      })
      vim.lsp.buf_attach_client(args.buf, id)
    end,
  })
  vim.cmd("edit " .. vim.env.VORN_NVIM_DOC)
  local buf = vim.api.nvim_get_current_buf()
  seen.filetype = vim.bo[buf].filetype
  vim.wait(20000, function() return #vim.diagnostic.get(buf) > 0 end, 50)
  seen.diagnostics = {}
  for _, d in ipairs(vim.diagnostic.get(buf)) do
    table.insert(seen.diagnostics, { d.lnum, d.col, d.end_lnum, d.end_col, d.code, d.severity })
  end
  -- On the alias of '<<: *base' (line 5), jump to the anchor.
  vim.api.nvim_win_set_cursor(0, { 5, 8 })
  vim.lsp.buf.definition()
  vim.wait(10000, function() return vim.api.nvim_win_get_cursor(0)[1] ~= 5 end, 50)
  seen.after_jump = vim.api.nvim_win_get_cursor(0)
  vim.lsp.buf.rename("primary")
  vim.wait(10000, function()
    return table.concat(vim.api.nvim_buf_get_lines(buf, 0, -1, false), "\n"):find("primary") ~= nil
  end, 50)
  seen.lines = vim.api.nvim_buf_get_lines(buf, 0, -1, false)
end

local ok, err = pcall(run)
if not ok then seen.error = tostring(err) end
vim.fn.writefile({ vim.fn.json_encode(seen) }, out)
vim.cmd("qa!")

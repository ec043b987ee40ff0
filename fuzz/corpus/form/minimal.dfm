object f: TForm
end
